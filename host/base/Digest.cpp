#include "base/Digest.h"

#include <cinttypes>
#include <cstdio>


namespace {

constexpr uint64_t kOffsetBasis = 0xcbf29ce484222325ULL;
constexpr uint64_t kPrime = 0x100000001b3ULL;

}	// namespace


uint64_t
FrameDigest(const PixelView& pixels)
{
	uint64_t hash = kOffsetBasis;
	for (int32_t y = 0; y < pixels.height; y++) {
		const uint8_t* pixel = pixels.Row(y);
		for (int32_t x = 0; x < pixels.width; x++, pixel += 4) {
			hash = (hash ^ pixel[kRedByte]) * kPrime;
			hash = (hash ^ pixel[kGreenByte]) * kPrime;
			hash = (hash ^ pixel[kBlueByte]) * kPrime;
		}
	}
	return hash;
}


std::string
FormatDigest(uint64_t digest)
{
	char text[17];
	std::snprintf(text, sizeof(text), "%016" PRIx64, digest);
	return text;
}
