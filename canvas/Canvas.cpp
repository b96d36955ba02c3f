#include "Canvas.h"

#include <stdint.h>
#include <string.h>

#include "VectorUnits.h"


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


// Clears the blue, green and red of the count bytes of pixels at row, a
// Block at a time; count is a multiple of the block's size.
template<typename Block>
static inline __attribute__((always_inline)) void
clear_blocks(uint8* row, int32 count)
{
	Block keep;
	for (uint32 i = 0; i < sizeof(Block); i++)
		keep[i] = i % 4 == 3 ? 0xff : 0;

#pragma GCC unroll 4
	for (int32 i = 0; i < count; i += sizeof(Block)) {
		Block pixels;
		memcpy(&pixels, row + i, sizeof(pixels));
		pixels &= keep;
		memcpy(row + i, &pixels, sizeof(pixels));
	}
}


#if HAS_AVX2_FORMS

typedef uint8 WidePixelBlock __attribute__((vector_size(32)));

FOR_AVX2 static void
clear_wide_blocks(uint8* row, int32 count)
{
	clear_blocks<WidePixelBlock>(row, count);
}

#endif


// Clears the blue, green and red of the pixels at bytes from to end of a
// row, one pixel at a time.
static inline void
clear_pixels(uint8* row, int32 from, int32 end)
{
	for (int32 i = from; i < end; i += 4)
		row[i] = row[i + 1] = row[i + 2] = 0;
}


void
Canvas::Clear()
{
	// A block of pixels at a time, each keeping its fourth byte; the pixels
	// before the first block boundary of a row and after the last one, one
	// at a time. The bytes that pad a row are not the canvas's and are left
	// alone.
#if HAS_AVX2_FORMS
	int32 blockSize = VectorsInUse() == kAVX2Vectors ? 32 : 16;
#else
	int32 blockSize = 16;
#endif
	int32 rowBytes = fWidth * 4;
	for (int32 y = 0; y < fHeight; y++) {
		uint8* row = Row(y);
		int32 head = (int32)(-(uintptr_t)row & (uintptr_t)(blockSize - 1));
		head = (head + 3) & ~3;
		if (head > rowBytes)
			head = rowBytes;
		int32 blockBytes = (rowBytes - head) - (rowBytes - head) % blockSize;

		clear_pixels(row, 0, head);
#if HAS_AVX2_FORMS
		if (blockSize == 32)
			clear_wide_blocks(row + head, blockBytes);
		else
#endif
			clear_blocks<PixelBlock>(row + head, blockBytes);
		clear_pixels(row, head + blockBytes, rowBytes);
	}
}
