// What changed in a frame since the frame before it in the same pixels:
// everything, or only the pixels within a few rectangles. An output that
// keeps what it last showed need only update those.
#ifndef SAVERHOST_DAMAGE_H
#define SAVERHOST_DAMAGE_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/Size.h"

struct PixelRect {
	int32_t x = 0;
	int32_t y = 0;
	int32_t width = 0;
	int32_t height = 0;
};

class Damage {
public:
	// Everything may have changed: the first frame in new pixels, or pixels
	// someone else wrote. The default, as it is always safe.
	Damage() = default;
	// Only the pixels within rects changed; none at all for no rects.
	explicit Damage(std::vector<PixelRect> rects);

	bool Whole() const { return fWhole; }
	// Unless whole: every changed pixel lies in one of these. They lie within
	// the frame and do not overlap.
	const std::vector<PixelRect>& Rects() const { return fRects; }
	// The pixels the rectangles cover, or all of the frame's when whole.
	int64_t Area(Size frame) const;

	void SetWhole();
	// The changed tiles of a map of them (a byte a tile, non-zero where
	// changed, columns a row, row after row) for a frame of the size: runs of
	// changed tiles along a row, each joined to a run of the same columns in
	// the row above, cut to the frame's edges. Keeps its memory from one
	// frame to the next.
	void ReadTiles(const uint8_t* tiles, int32_t columns, int32_t rows, int32_t tileSize,
		Size frame);

private:
	bool fWhole = true;
	std::vector<PixelRect> fRects;
	// While reading tiles: the rectangles that reach down to the row above,
	// and those that reach the current row, in the order of their columns.
	std::vector<size_t> fAbove;
	std::vector<size_t> fHere;
};

#endif	// SAVERHOST_DAMAGE_H
