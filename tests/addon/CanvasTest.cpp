// The canvas's pixel writes: clipping, saturation, the untouched fourth byte
// and the padded row stride.
#include <gtest/gtest.h>

#include "TestCanvas.h"


TEST(CanvasWrites, DropWritesJustOutsideEachEdgeWhole)
{
	TestCanvas image(7, 5);
	std::vector<uint8> before = image.AllBytes();

	const int outside[][2] = { {-1, 0}, {7, 0}, {0, -1}, {0, 5}, {-1, -1}, {7, 5},
		{3, 5}, {7, 2}, {-100000, 2}, {3, 100000} };
	for (const auto& at : outside) {
		image.canvas().SetPixel(at[0], at[1], 1, 2, 3);
		image.canvas().AddPixel(at[0], at[1], 1, 2, 3);
		image.canvas().ClearPixel(at[0], at[1]);
	}
	EXPECT_EQ(before, image.AllBytes());

	// The corners themselves are inside.
	image.canvas().SetPixel(0, 0, 1, 2, 3);
	image.canvas().SetPixel(6, 4, 4, 5, 6);
	EXPECT_EQ((Rgb{1, 2, 3}), image.At(0, 0));
	EXPECT_EQ((Rgb{4, 5, 6}), image.At(6, 4));
}


TEST(CanvasWrites, PutBlueGreenRedInBytesZeroToTwo)
{
	TestCanvas image(3, 3);
	image.canvas().SetPixel(1, 1, 10, 20, 30);
	const uint8* pixel = image.PixelBytes(1, 1);
	EXPECT_EQ(30, pixel[0]);
	EXPECT_EQ(20, pixel[1]);
	EXPECT_EQ(10, pixel[2]);
}


TEST(AddPixel, SaturatesEachChannelIndependently)
{
	struct Case { int stored; int added; int expected; };
	const Case cases[] = {
		{200, 100, 255}, {254, 1, 255}, {254, 0, 254}, {100, 154, 254},
		{100, 155, 255}, {0, 0, 0}, {255, 255, 255}, {0, 255, 255},
	};
	for (const Case& c : cases) {
		TestCanvas image(2, 2);
		// Each case on one channel, with the others far from saturation.
		image.canvas().SetPixel(1, 1, c.stored, 5, 7);
		image.canvas().AddPixel(1, 1, c.added, 1, 2);
		EXPECT_EQ((Rgb{c.expected, 6, 9}), image.At(1, 1)) << c.stored << " + " << c.added;

		image.canvas().SetPixel(0, 0, 5, 7, c.stored);
		image.canvas().AddPixel(0, 0, 1, 2, c.added);
		EXPECT_EQ((Rgb{6, 9, c.expected}), image.At(0, 0)) << c.stored << " + " << c.added;
	}
}


TEST(CanvasClear, BlacksOutColourAndKeepsTheFourthByte)
{
	TestCanvas image(5, 4);
	for (int y = 0; y < 4; y++) {
		for (int x = 0; x < 5; x++) {
			uint8* pixel = image.PixelBytes(x, y);
			pixel[0] = 11;
			pixel[1] = 22;
			pixel[2] = 33;
			pixel[3] = (uint8)(x * 16 + y);
		}
	}

	image.canvas().Clear();
	for (int y = 0; y < 4; y++) {
		for (int x = 0; x < 5; x++) {
			EXPECT_EQ((Rgb{0, 0, 0}), image.At(x, y));
			EXPECT_EQ(x * 16 + y, image.PixelBytes(x, y)[3]);
		}
	}
}


TEST(CanvasWrites, NeverTouchTheFourthByte)
{
	TestCanvas image(4, 4);
	image.PixelBytes(2, 2)[3] = 0x5a;
	image.canvas().SetPixel(2, 2, 255, 255, 255);
	image.canvas().AddPixel(2, 2, 255, 255, 255);
	image.canvas().ClearPixel(2, 2);
	EXPECT_EQ(0x5a, image.PixelBytes(2, 2)[3]);
}


TEST(CanvasRows, StepByBytesPerRowNotByFourTimesTheWidth)
{
	// The stand-in bitmap pads every row, so an assumed stride of
	// 4 * width writes into the previous row's padding.
	TestCanvas image(9, 3);
	ASSERT_GT(image.bitmap().BytesPerRow(), 9 * 4);

	image.canvas().SetPixel(0, 2, 1, 2, 3);
	const uint8* bits = (const uint8*)image.bitmap().Bits();
	const uint8* expected = bits + 2 * image.bitmap().BytesPerRow();
	EXPECT_EQ(3, expected[0]);
	EXPECT_EQ(2, expected[1]);
	EXPECT_EQ(1, expected[2]);
	EXPECT_EQ(1, image.CountLit());
}
