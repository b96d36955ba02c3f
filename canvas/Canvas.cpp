#include "Canvas.h"

#include <string.h>


BBitmap*
CreateCanvas(int32 width, int32 height)
{
	// The bitmap is asked for by inclusive float edges: beyond 2^24 pixels
	// a side they no longer name the size exactly.
	if (width < 1 || height < 1 || width > kMaxCanvasSide || height > kMaxCanvasSide)
		return NULL;

	BBitmap* bitmap = new BBitmap(BRect(0, 0, width - 1, height - 1), B_RGB32,
		false, false);
	if (bitmap->Bits() == NULL || bitmap->BytesPerRow() / 4 < width) {
		delete bitmap;
		return NULL;
	}
	return bitmap;
}


void
PresentCanvas(BView* view, const BBitmap* canvas)
{
	view->DrawBitmap(canvas);
}


void
Canvas::Clear()
{
	// One 32-bit mask per pixel that keeps the fourth byte and zeroes the
	// other three, whatever the byte order of the machine.
	static const uint8 kKeepFourthByte[4] = { 0, 0, 0, 0xff };
	uint32 keep;
	memcpy(&keep, kKeepFourthByte, sizeof(keep));

	for (int32 y = 0; y < fHeight; y++) {
		uint8* row = Row(y);
		for (int32 x = 0; x < fWidth; x++) {
			uint32 pixel;
			memcpy(&pixel, row + x * 4, sizeof(pixel));
			pixel &= keep;
			memcpy(row + x * 4, &pixel, sizeof(pixel));
		}
	}
}
