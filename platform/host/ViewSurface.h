// Host side of the stand-in interface kit, not part of the platform API: the
// host lends a view the pixels that DrawBitmap() writes into and reads them back,
// and learns which of them a present changed.
#ifndef _VIEW_SURFACE_H
#define _VIEW_SURFACE_H

#include <View.h>

namespace BPrivate {

class _EXPORT ViewSurface {
public:
	// DrawBitmap() compares the bitmap with the view's pixels as it copies,
	// writes only what differs, and notes where in tiles of this many pixels
	// square, counted from the pixels' top-left corner.
	static	const int32			kDamageTileSize = 16;

	// Points the view at B_RGB32 pixels of width x height, rows bytesPerRow
	// apart, with no damage noted and nothing known of what they hold, even
	// when they are the pixels the view had. The memory stays the caller's;
	// Detach() before releasing it.
	static	void				Attach(BView* view, void* bits, int32 bytesPerRow,
									int32 width, int32 height);
	static	void				Detach(BView* view);

	// DrawBitmap() remembers which tiles of the pixels it left all one
	// value, and does not read those again: it compares the bitmap with the
	// value. Whoever writes the pixels other than through this view's
	// DrawBitmap() (a clear, a copy, text drawn over them, another view on
	// the same memory, a buffer replaced at the same address) must call this
	// before the view's next DrawBitmap(), which then compares with every
	// pixel again.
	static	void				PixelsChanged(BView* view);

	// DrawBitmap() calls with a drawable bitmap the view has received since it
	// was created, whether or not it had pixels to draw into.
	static	int32				DrawCount(const BView* view);

	// The tiles in which DrawBitmap() changed a pixel since the pixels were
	// attached or the damage was last cleared: a byte a tile, non-zero where
	// something changed, *columns of them a row and *rows rows. Every pixel
	// outside them holds what it held then. NULL, and 0 x 0, while the view
	// has no pixels.
	static	const uint8*		Damage(const BView* view, int32* columns,
									int32* rows);
	static	void				ClearDamage(BView* view);

	// Holds the compare to 16-byte vectors where the processor has wider
	// ones, or lets it take them again: for tests, which check both forms.
	static	void				LimitToBaselineVectors(bool limit);

private:
	friend class ::BView;

								ViewSurface();
								~ViewSurface();

	static	ViewSurface*		_For(BView* view);
			void				_FreeTiles();

			void*				fBits;
			int32				fBytesPerRow;
			int32				fWidth;
			int32				fHeight;
			int32				fDrawCount;

			// One byte a tile, kept from one Attach() of the same size to
			// the next, so that a present allocates nothing.
			uint8*				fDamage;
			int32				fDamageColumns;
			int32				fDamageRows;

			// For each of the same tiles: whether all its pixels hold one
			// value as DrawBitmap() left them, and which (see
			// ChangedPixels.h).
			uint8*				fTileStates;
			uint32*				fTileValues;
};

}	// namespace BPrivate

#endif	// _VIEW_SURFACE_H
