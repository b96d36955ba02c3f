// The offscreen canvas every frame is composed in: a B_RGB32 bitmap of the
// saver's size, four bytes a pixel (blue, green, red, and a fourth byte that is
// never written), rows BytesPerRow() apart.
#ifndef DUSTGLOW_CANVAS_H
#define DUSTGLOW_CANVAS_H

#include <Bitmap.h>
#include <SupportDefs.h>
#include <View.h>


// The largest canvas side: every size up to it is exact as a float.
static const int32 kMaxCanvasSide = 16777216;

// Creates a width x height canvas; NULL when the bitmap cannot be had.
BBitmap*	CreateCanvas(int32 width, int32 height);
// Draws the whole canvas at the view's pen position.
void		PresentCanvas(BView* view, const BBitmap* canvas);


// Sixteen canvas bytes, four pixels, that the compiler keeps in one vector
// register where the processor has them. GCC's vector extension needs no
// header and falls back to plain code elsewhere.
typedef uint8 PixelBlock __attribute__((vector_size(16)));


// Clipped pixel writes on a canvas. Cheap to make: it only caches where the
// pixels are, so make one per frame rather than keeping it.
class Canvas {
public:
	inline						Canvas(BBitmap* bitmap, int32 width, int32 height);

	inline	int32				Width() const { return fWidth; }
	inline	int32				Height() const { return fHeight; }
	inline	int32				BytesPerRow() const { return fBytesPerRow; }

	// Each write tests x >= 0, x < width, y >= 0, y < height, in that order,
	// and is dropped whole when a test fails.
	inline	bool				Contains(int x, int y) const;

	inline	void				SetPixel(int x, int y, uint8 red, uint8 green,
									uint8 blue);
	inline	void				ClearPixel(int x, int y);
	// Adds to each channel, saturating at 255.
	inline	void				AddPixel(int x, int y, uint8 red, uint8 green,
									uint8 blue);

	// Blue, green and red of every pixel to 0; the fourth bytes keep their values.
			void				Clear();

	// The first byte of row y: rows may be longer than 4 * width.
	inline	uint8*				Row(int y) const
									{ return fBits + (intptr_t)y * fBytesPerRow; }

private:
			uint8*				fBits;
			int32				fBytesPerRow;
			int32				fWidth;
			int32				fHeight;
};


static inline uint8
saturating_add(uint8 stored, uint8 added)
{
	int sum = stored + added;
	return sum > 254 ? 255 : (uint8)sum;
}


Canvas::Canvas(BBitmap* bitmap, int32 width, int32 height)
	:
	fBits((uint8*)bitmap->Bits()),
	fBytesPerRow(bitmap->BytesPerRow()),
	fWidth(width),
	fHeight(height)
{
}


bool
Canvas::Contains(int x, int y) const
{
	return x >= 0 && x < fWidth && y >= 0 && y < fHeight;
}


void
Canvas::SetPixel(int x, int y, uint8 red, uint8 green, uint8 blue)
{
	if (!Contains(x, y))
		return;

	uint8* pixel = Row(y) + x * 4;
	pixel[0] = blue;
	pixel[1] = green;
	pixel[2] = red;
}


void
Canvas::ClearPixel(int x, int y)
{
	SetPixel(x, y, 0, 0, 0);
}


void
Canvas::AddPixel(int x, int y, uint8 red, uint8 green, uint8 blue)
{
	if (!Contains(x, y))
		return;

	uint8* pixel = Row(y) + x * 4;
	pixel[0] = saturating_add(pixel[0], blue);
	pixel[1] = saturating_add(pixel[1], green);
	pixel[2] = saturating_add(pixel[2], red);
}


#endif	// DUSTGLOW_CANVAS_H
