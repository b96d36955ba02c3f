// The present's one pass: B_RGB32 pixels are compared with those already in
// the view and only the tile rows that differ are written, so that a frame
// that changed in a few places costs a read of both and a few writes, and the
// view learns which of its tiles changed.
#ifndef _CHANGED_PIXELS_H
#define _CHANGED_PIXELS_H

#include <SupportDefs.h>

#include "ViewSurface.h"


// Pixels along each side of a damage tile; a full tile row is 64 bytes.
static const int32 kDamageTile = BPrivate::ViewSurface::kDamageTileSize;

// Copies rows of count pixels each, fromStride bytes apart, to the view's
// pixels at to, toStride bytes apart, where to is the view's pixel (x, y),
// and sets the byte of every tile of damage (columns tiles a row, from the
// view's top-left corner) in which a pixel differed. All four bytes of each
// pixel are compared and copied.
void	copy_changed_pixels(uint8* to, int64 toStride, const uint8* from,
			int64 fromStride, int32 x, int32 y, int32 count, int32 rows,
			uint8* damage, int32 damageColumns);

// Holds the compare to 16-byte vectors even where the processor has wider
// ones, or lets it use them again: for tests, which check both forms.
void	limit_changed_pixels_to_baseline(bool limit);
// Whether the compare may take 32-byte vectors on this processor.
bool	changed_pixels_wide_form();

#endif	// _CHANGED_PIXELS_H
