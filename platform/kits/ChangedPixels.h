// The present's one pass over a row: B_RGB32 pixels are compared with those
// already in the view and only the runs that differ are written, so that a
// frame that changed in a few places costs two reads of the row and a few
// writes, and the view learns which of its tiles changed.
#ifndef _CHANGED_PIXELS_H
#define _CHANGED_PIXELS_H

#include <SupportDefs.h>

#include "ViewSurface.h"


// Pixels along each side of a damage tile; a full tile row is 64 bytes.
static const int32 kDamageTile = BPrivate::ViewSurface::kDamageTileSize;

// Copies count pixels from from to to, where to holds the view's pixels
// from column x on, and sets the byte of every tile of damageRow (one a tile
// from column 0) in which a pixel differed. All four bytes of each pixel are
// compared and copied.
void	copy_changed_pixels(uint8* to, const uint8* from, int32 x, int32 count,
			uint8* damageRow);

// Holds the compare to 16-byte vectors even where the processor has wider
// ones, or lets it use them again: for tests, which check both forms.
void	limit_changed_pixels_to_baseline(bool limit);
// Whether the compare may take 32-byte vectors on this processor.
bool	changed_pixels_wide_form();

#endif	// _CHANGED_PIXELS_H
