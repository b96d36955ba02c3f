// The present: DrawBitmap() of a canvas into a view whose pixels the host
// owns, against a copy made one pixel at a time.
#include <gtest/gtest.h>

#include <math.h>

#include <vector>

#include <Bitmap.h>
#include <View.h>

#include "ViewSurface.h"


namespace {

const uint8 kUntouched = 0x3c;


// Host pixels of width x height at the given row stride, the bytes between
// rows included, all set to kUntouched.
struct HostPixels {
	int32 width;
	int32 height;
	int32 bytesPerRow;
	std::vector<uint8> bytes;

	HostPixels(int32 width, int32 height, int32 bytesPerRow)
		:
		width(width),
		height(height),
		bytesPerRow(bytesPerRow),
		bytes((size_t)bytesPerRow * height, kUntouched)
	{
	}
};


// What the view's pixels should hold after the bitmap is drawn with its
// top-left pixel at where: every byte of every pixel that both cover, and
// nothing else.
std::vector<uint8>
Expected(const HostPixels& host, int32 viewWidth, int32 viewHeight, const BBitmap& bitmap,
	BPoint where)
{
	std::vector<uint8> expected = host.bytes;
	int32 left = (int32)floorf(where.x);
	int32 top = (int32)floorf(where.y);
	int32 bitmapWidth = bitmap.Bounds().IntegerWidth() + 1;
	int32 bitmapHeight = bitmap.Bounds().IntegerHeight() + 1;
	const uint8* bits = (const uint8*)bitmap.Bits();
	for (int32 y = 0; y < host.height && y < viewHeight; y++) {
		for (int32 x = 0; x < host.width && x < viewWidth; x++) {
			int32 sx = x - left;
			int32 sy = y - top;
			if (sx < 0 || sy < 0 || sx >= bitmapWidth || sy >= bitmapHeight)
				continue;
			for (int32 byte = 0; byte < 4; byte++) {
				expected[(size_t)y * host.bytesPerRow + x * 4 + byte]
					= bits[(size_t)sy * bitmap.BytesPerRow() + sx * 4 + byte];
			}
		}
	}
	return expected;
}

}	// namespace


TEST(Present, CopiesEveryCoveredPixelAndNothingBetweenRows)
{
	struct Case {
		int32 viewWidth;
		int32 viewHeight;
		int32 hostWidth;
		int32 hostHeight;
		int32 hostPadding;
		int32 bitmapWidth;
		int32 bitmapHeight;
		float penX;
		float penY;
	};
	const Case cases[] = {
		// As saverhost has it: the view, its pixels and the canvas all alike.
		{ 37, 11, 37, 11, 0, 37, 11, 0, 0 },
		// Host rows with bytes after them that are not the view's.
		{ 37, 11, 37, 11, 12, 37, 11, 0, 0 },
		// Pen off the top-left, and off the bottom-right; fractions floor.
		{ 20, 9, 20, 9, 8, 20, 9, -3, 2 },
		{ 20, 9, 20, 9, 4, 20, 9, 5.5f, -4.25f },
		{ 20, 9, 20, 9, 4, 20, 9, -0.5f, -0.5f },
		// Host pixels smaller than the view, a bitmap larger than both.
		{ 30, 20, 25, 12, 16, 40, 30, 1, 1 },
		// Nothing to draw.
		{ 20, 9, 20, 9, 4, 20, 9, 20, 0 },
		{ 20, 9, 20, 9, 4, 20, 9, -20, 0 },
	};
	for (const Case& c : cases) {
		BBitmap bitmap(BRect(0, 0, c.bitmapWidth - 1, c.bitmapHeight - 1), B_RGB32);
		uint8* bits = (uint8*)bitmap.Bits();
		for (int32 i = 0; i < bitmap.BitsLength(); i++)
			bits[i] = (uint8)(i * 7 + i / 5);

		HostPixels host(c.hostWidth, c.hostHeight, c.hostWidth * 4 + c.hostPadding);
		BView view(BRect(0, 0, c.viewWidth - 1, c.viewHeight - 1), "view", B_FOLLOW_ALL,
			B_WILL_DRAW);
		BPrivate::ViewSurface::Attach(&view, host.bytes.data(), host.bytesPerRow,
			host.width, host.height);
		view.MovePenTo(c.penX, c.penY);
		std::vector<uint8> expected = Expected(host, c.viewWidth, c.viewHeight, bitmap,
			BPoint(c.penX, c.penY));

		view.DrawBitmap(&bitmap);
		EXPECT_EQ(expected, host.bytes) << "pen at (" << c.penX << ", " << c.penY
			<< "), host rows of " << c.hostWidth << " pixels and " << c.hostPadding
			<< " bytes more";
		BPrivate::ViewSurface::Detach(&view);
	}
}
