#include "Canvas.h"

#include <string.h>


BBitmap*
CreateCanvas(int32 width, int32 height)
{
	BBitmap* bitmap = new BBitmap(BRect(0, 0, width - 1, height - 1), B_RGB32,
		false, false);
	// Sizes beyond what a float holds exactly could give a bitmap of another
	// size than asked for; the pixel writes rely on the asked-for size.
	BRect bounds = bitmap->Bounds();
	if (bitmap->InitCheck() != B_OK || bitmap->Bits() == NULL
		|| bounds.IntegerWidth() != width - 1 || bounds.IntegerHeight() != height - 1
		|| bitmap->BytesPerRow() / 4 < width) {
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
