#include <Bitmap.h>

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <mutex>

#include "BitmapGuard.h"


// Every row carries at least this much padding, and the last row is followed
// by a guard area of the same size; both hold BitmapGuard::kCanary.
static const int32 kRowPadding = 16;
// A new bitmap's pixels hold this byte: an image that was never cleared shows
// white, and the fourth byte of every pixel starts out non-zero.
static const uint8 kFreshPixel = 0xFF;


// Every bitmap that holds pixels, newest first, so that the host can check
// those it cannot reach.
static BBitmap* sFirstLive = NULL;


// The lock of that list; never destroyed, as bitmaps may outlive static
// objects.
static std::mutex&
live_lock()
{
	static std::mutex* lock = new std::mutex;
	return *lock;
}


// Pixel count along one axis of inclusive bounds, or 0 when the bounds are
// empty, not finite or too large.
static int64
pixel_span(float from, float to)
{
	if (!isfinite(from) || !isfinite(to) || !(to >= from))
		return 0;
	double span = ceil((double)to - (double)from) + 1;
	return span > 2147483647.0 ? 0 : (int64)span;
}


BBitmap::BBitmap(BRect bounds, color_space colorSpace, bool acceptsViews,
	bool needsContiguous)
	:
	fBits(NULL),
	fBytesPerRow(0),
	fWidth(0),
	fHeight(0),
	fColorSpace(colorSpace),
	fBounds(bounds),
	fInitStatus(B_NO_INIT),
	fPreviousLive(NULL),
	fNextLive(NULL)
{
	// Child views and contiguous memory make no difference to an image that
	// lives in ordinary memory.
	(void)acceptsViews;
	(void)needsContiguous;

	int64 width = pixel_span(bounds.left, bounds.right);
	int64 height = pixel_span(bounds.top, bounds.bottom);
	if (colorSpace != B_RGB32 || width < 1 || height < 1) {
		fInitStatus = B_BAD_VALUE;
		return;
	}

	// Rows are padded to a multiple of 16 bytes and then some, so that code
	// which assumes 4 * width bytes a row goes wrong at once.
	int64 bytesPerRow = ((width * 4 + 15) & ~(int64)15) + kRowPadding;
	if (bytesPerRow > INT32_MAX || height > (INT32_MAX - kRowPadding) / bytesPerRow) {
		fInitStatus = B_NO_MEMORY;
		return;
	}
	int64 length = bytesPerRow * height + kRowPadding;
	if ((uint64)length > (uint64)SIZE_MAX) {
		fInitStatus = B_NO_MEMORY;
		return;
	}

	uint8* bits = (uint8*)malloc((size_t)length);
	if (bits == NULL) {
		fInitStatus = B_NO_MEMORY;
		return;
	}

	memset(bits, BPrivate::BitmapGuard::kCanary, (size_t)length);
	for (int64 row = 0; row < height; row++)
		memset(bits + row * bytesPerRow, kFreshPixel, (size_t)width * 4);

	fBits = bits;
	fBytesPerRow = (int32)bytesPerRow;
	fWidth = (int32)width;
	fHeight = (int32)height;
	fInitStatus = B_OK;

	std::lock_guard<std::mutex> lock(live_lock());
	fNextLive = sFirstLive;
	if (sFirstLive != NULL)
		sFirstLive->fPreviousLive = this;
	sFirstLive = this;
}


BBitmap::~BBitmap()
{
	if (fBits != NULL) {
		std::lock_guard<std::mutex> lock(live_lock());
		if (fPreviousLive != NULL)
			fPreviousLive->fNextLive = fNextLive;
		else
			sFirstLive = fNextLive;
		if (fNextLive != NULL)
			fNextLive->fPreviousLive = fPreviousLive;
	}
	free(fBits);
}


status_t
BBitmap::InitCheck() const
{
	return fInitStatus;
}


bool
BBitmap::IsValid() const
{
	return fInitStatus == B_OK;
}


void*
BBitmap::Bits() const
{
	return fBits;
}


int32
BBitmap::BitsLength() const
{
	return fBytesPerRow * fHeight;
}


int32
BBitmap::BytesPerRow() const
{
	return fBytesPerRow;
}


color_space
BBitmap::ColorSpace() const
{
	return fColorSpace;
}


BRect
BBitmap::Bounds() const
{
	return fBounds;
}


// #pragma mark - host side


bool
BPrivate::BitmapGuard::Intact(const BBitmap* bitmap)
{
	if (bitmap == NULL || bitmap->fBits == NULL)
		return true;

	const uint8* bits = bitmap->fBits;
	int32 pixelBytes = bitmap->fWidth * 4;
	for (int32 row = 0; row < bitmap->fHeight; row++) {
		const uint8* padding = bits + (int64)row * bitmap->fBytesPerRow + pixelBytes;
		for (int32 i = pixelBytes; i < bitmap->fBytesPerRow; i++, padding++) {
			if (*padding != kCanary)
				return false;
		}
	}

	const uint8* guard = bits + (int64)bitmap->fBytesPerRow * bitmap->fHeight;
	for (int32 i = 0; i < kRowPadding; i++) {
		if (guard[i] != kCanary)
			return false;
	}
	return true;
}


int32
BPrivate::BitmapGuard::CountLive()
{
	std::lock_guard<std::mutex> lock(live_lock());
	int32 count = 0;
	for (const BBitmap* bitmap = sFirstLive; bitmap != NULL; bitmap = bitmap->fNextLive)
		count++;
	return count;
}


bool
BPrivate::BitmapGuard::AllIntact()
{
	std::lock_guard<std::mutex> lock(live_lock());
	for (const BBitmap* bitmap = sFirstLive; bitmap != NULL; bitmap = bitmap->fNextLive) {
		if (!Intact(bitmap))
			return false;
	}
	return true;
}
