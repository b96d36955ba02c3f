// An offscreen image. Rows may be longer than the visible pixels: always step
// from row to row by BytesPerRow().
#ifndef _BITMAP_H
#define _BITMAP_H

#include <GraphicsDefs.h>
#include <Rect.h>

namespace BPrivate {
	class BitmapGuard;
}

class _EXPORT BBitmap {
public:
								BBitmap(BRect bounds, color_space colorSpace,
									bool acceptsViews = false,
									bool needsContiguous = false);
	virtual						~BBitmap();

			void*				Bits() const;
			int32				BytesPerRow() const;

#ifndef ADDON_API_ONLY
	// B_OK, or why the pixels could not be allocated; Bits() is NULL then.
			status_t			InitCheck() const;
			bool				IsValid() const;

			int32				BitsLength() const;
			color_space			ColorSpace() const;
			BRect				Bounds() const;
#endif

private:
	friend class BPrivate::BitmapGuard;

								BBitmap(const BBitmap&);
			BBitmap&			operator=(const BBitmap&);

			uint8*				fBits;
			int32				fBytesPerRow;
			int32				fWidth;
			int32				fHeight;
			color_space			fColorSpace;
			BRect				fBounds;
			status_t			fInitStatus;

			// The list of live bitmaps with pixels that the guard walks.
			BBitmap*			fPreviousLive;
			BBitmap*			fNextLive;
};

#endif	// _BITMAP_H
