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

// What a present knows of the view's tiles, a byte each in states: a tile
// whose pixels all hold values[tile] (all four bytes of each), because the
// last present that touched it left it so, is kTileUniform; any other is
// kTileUnknown. A present compares the bitmap with the value of a uniform
// tile instead of reading the view, so that a frame that is mostly one
// colour costs a read of the bitmap alone.
enum {
	kTileUnknown	= 0,
	kTileUniform	= 1
};

// The view's maps of tiles, columns a row, row after row, from its top-left
// corner.
struct TileMaps {
	// Non-zero where a present changed a pixel.
	uint8*	damage;
	uint8*	states;
	uint32*	values;
	int32	columns;
};

// Copies rows of count pixels each, fromStride bytes apart, to the view's
// pixels at to, toStride bytes apart, where to is the view's pixel (x, y),
// and sets the byte of damage of every tile in which a pixel differed. All
// four bytes of each pixel are compared and copied. The states of the tiles
// the rows cover are brought up to date; the others are left as they are,
// as are their pixels.
void	copy_changed_pixels(uint8* to, int64 toStride, const uint8* from,
			int64 fromStride, int32 x, int32 y, int32 count, int32 rows,
			const TileMaps& tiles);

// Holds the compare to 16-byte vectors even where the processor has wider
// ones, or lets it use them again: for tests, which check both forms.
void	limit_changed_pixels_to_baseline(bool limit);
// Whether the compare may take 32-byte vectors on this processor.
bool	changed_pixels_wide_form();

#endif	// _CHANGED_PIXELS_H
