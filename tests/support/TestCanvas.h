// A canvas of the stand-in kit's bitmap, with helpers to read pixels back.
#ifndef DUSTGLOW_TEST_CANVAS_H
#define DUSTGLOW_TEST_CANVAS_H

#include <Bitmap.h>

#include <cstring>
#include <ostream>
#include <vector>

#include "Canvas.h"

struct Rgb {
	int red;
	int green;
	int blue;

	bool operator==(const Rgb& other) const
	{
		return red == other.red && green == other.green && blue == other.blue;
	}

	bool operator!=(const Rgb& other) const { return !(*this == other); }
};

inline std::ostream&
operator<<(std::ostream& out, const Rgb& rgb)
{
	return out << "rgb(" << rgb.red << ", " << rgb.green << ", " << rgb.blue << ")";
}

class TestCanvas {
public:
	TestCanvas(int32 width, int32 height)
		:
		fBitmap(BRect(0, 0, width - 1, height - 1), B_RGB32),
		fCanvas(&fBitmap, width, height)
	{
		fCanvas.Clear();
	}

	Canvas& canvas() { return fCanvas; }
	BBitmap& bitmap() { return fBitmap; }

	uint8* PixelBytes(int x, int y) { return fCanvas.Row(y) + x * 4; }

	Rgb At(int x, int y)
	{
		const uint8* pixel = PixelBytes(x, y);
		return Rgb{pixel[2], pixel[1], pixel[0]};
	}

	// Every byte the bitmap owns, padding included, for before/after checks.
	std::vector<uint8> AllBytes() const
	{
		const uint8* bits = (const uint8*)fBitmap.Bits();
		return std::vector<uint8>(bits, bits + fBitmap.BitsLength());
	}

	// Pixels whose colour is not black.
	int CountLit()
	{
		int count = 0;
		for (int y = 0; y < fCanvas.Height(); y++) {
			for (int x = 0; x < fCanvas.Width(); x++) {
				if (!(At(x, y) == Rgb{0, 0, 0}))
					count++;
			}
		}
		return count;
	}

private:
	BBitmap fBitmap;
	Canvas fCanvas;
};

#endif	// DUSTGLOW_TEST_CANVAS_H
