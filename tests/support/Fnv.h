// 64-bit FNV-1a over the red, green and blue bytes of a canvas, row by row,
// the same digest the host prints for a frame.
#ifndef DUSTGLOW_TEST_FNV_H
#define DUSTGLOW_TEST_FNV_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "Canvas.h"

inline uint64_t
FnvAdd(uint64_t hash, uint8_t byte)
{
	return (hash ^ byte) * 0x100000001b3ULL;
}

inline std::string
CanvasDigest(const Canvas& canvas)
{
	uint64_t hash = 0xcbf29ce484222325ULL;
	for (int y = 0; y < canvas.Height(); y++) {
		const uint8_t* pixel = canvas.Row(y);
		for (int x = 0; x < canvas.Width(); x++, pixel += 4) {
			hash = FnvAdd(hash, pixel[2]);
			hash = FnvAdd(hash, pixel[1]);
			hash = FnvAdd(hash, pixel[0]);
		}
	}
	char text[17];
	snprintf(text, sizeof(text), "%016llx", (unsigned long long)hash);
	return text;
}

inline std::string
BytesDigest(const void* data, size_t length)
{
	uint64_t hash = 0xcbf29ce484222325ULL;
	for (size_t i = 0; i < length; i++)
		hash = FnvAdd(hash, ((const uint8_t*)data)[i]);
	char text[17];
	snprintf(text, sizeof(text), "%016llx", (unsigned long long)hash);
	return text;
}

#endif	// DUSTGLOW_TEST_FNV_H
