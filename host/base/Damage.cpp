#include "base/Damage.h"

#include <algorithm>
#include <cstring>


Damage::Damage(std::vector<PixelRect> rects)
	:
	fWhole(false),
	fRects(std::move(rects))
{
}


int64_t
Damage::Area(Size frame) const
{
	if (fWhole)
		return static_cast<int64_t>(frame.width) * frame.height;
	int64_t area = 0;
	for (const PixelRect& rect : fRects)
		area += static_cast<int64_t>(rect.width) * rect.height;
	return area;
}


void
Damage::SetWhole()
{
	fWhole = true;
	fRects.clear();
}


void
Damage::ReadTiles(const uint8_t* tiles, int32_t columns, int32_t rows, int32_t tileSize,
	Size frame)
{
	fWhole = false;
	fRects.clear();
	fAbove.clear();
	if (tiles == nullptr || tileSize < 1)
		return;

	for (int32_t row = 0; row < rows; row++) {
		int32_t top = row * tileSize;
		if (top >= frame.height)
			break;
		int32_t height = std::min(tileSize, frame.height - top);
		const uint8_t* line = tiles + static_cast<size_t>(row) * columns;
		fHere.clear();
		size_t above = 0;
		for (int32_t column = 0; column < columns;) {
			// Most tiles are unchanged: eight at a time where they are.
			uint64_t eight = 0;
			if (column + 8 <= columns)
				std::memcpy(&eight, line + column, sizeof(eight));
			if (column + 8 <= columns && eight == 0) {
				column += 8;
				continue;
			}
			if (line[column] == 0) {
				column++;
				continue;
			}
			int32_t first = column;
			while (column < columns && line[column] != 0)
				column++;

			int32_t x = first * tileSize;
			if (x >= frame.width)
				break;
			int32_t width = std::min(column * tileSize, frame.width) - x;

			// The runs above are in the order of their columns too: skip
			// those that end before this one starts.
			while (above < fAbove.size() && fRects[fAbove[above]].x < x)
				above++;
			if (above < fAbove.size() && fRects[fAbove[above]].x == x
				&& fRects[fAbove[above]].width == width) {
				fRects[fAbove[above]].height += height;
				fHere.push_back(fAbove[above]);
				above++;
			} else {
				fRects.push_back(PixelRect{x, top, width, height});
				fHere.push_back(fRects.size() - 1);
			}
		}
		fAbove.swap(fHere);
	}
}
