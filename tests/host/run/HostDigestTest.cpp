// The frame digest that --digest prints: FNV-1a over red, green and blue.
#include <gtest/gtest.h>

#include <cstring>

#include "base/Digest.h"


TEST(FrameDigest, HashesRedGreenBlueOfEachPixelInThatOrder)
{
	// Memory order is blue, green, red, unused: the digest must read 3, 2, 1.
	const uint8_t pixel[4] = {1, 2, 3, 0xff};
	PixelView view{pixel, 4, 1, 1};
	// FNV-1a-64 of the bytes 0x03 0x02 0x01.
	EXPECT_EQ(FormatDigest(FrameDigest(view)), "e1efc21870f169c3");
}


TEST(FrameDigest, IgnoresTheFourthByteAndRowPadding)
{
	// Two 2x2 frames, rows 12 bytes apart, with the same colours but
	// different fourth bytes and padding; and the same frame packed tightly.
	uint8_t first[24];
	uint8_t second[24];
	std::memset(first, 0x00, sizeof(first));
	std::memset(second, 0xee, sizeof(second));
	uint8_t packed[16];
	for (int y = 0; y < 2; y++) {
		for (int x = 0; x < 2; x++) {
			for (int channel = 0; channel < 3; channel++) {
				uint8_t value = static_cast<uint8_t>(y * 40 + x * 10 + channel);
				first[y * 12 + x * 4 + channel] = value;
				second[y * 12 + x * 4 + channel] = value;
				packed[y * 8 + x * 4 + channel] = value;
			}
			packed[y * 8 + x * 4 + 3] = 0x77;
		}
	}

	uint64_t digest = FrameDigest(PixelView{first, 12, 2, 2});
	EXPECT_EQ(FrameDigest(PixelView{second, 12, 2, 2}), digest);
	EXPECT_EQ(FrameDigest(PixelView{packed, 8, 2, 2}), digest);

	// The last pixel of the last row counts.
	second[12 + 4 + 0]++;
	EXPECT_NE(FrameDigest(PixelView{second, 12, 2, 2}), digest);
}


TEST(FormatDigest, GivesSixteenLowerCaseDigitsWithLeadingZeros)
{
	EXPECT_EQ(FormatDigest(0x1f), "000000000000001f");
	EXPECT_EQ(FormatDigest(0xABCDEF0123456789ULL), "abcdef0123456789");
}
