#include "outputs/terminal/ScaledFrame.h"

#include <algorithm>
#include <cstring>


bool
ScaledFrame::Update(const PixelView& frame, const Damage& damage, Size area,
	std::vector<PixelRect>& changed)
{
	changed.clear();
	Size size{frame.width, frame.height};
	PictureLayout layout = FitPixels(size, area.width, area.height);
	bool whole = fWhole || damage.Whole() || layout != fLayout || !SameSize(size, fFrame)
		|| !SameSize(area, fArea);
	fLayout = layout;
	fFrame = size;
	fArea = area;
	fWhole = false;

	if (whole) {
		fScaler.Scale(frame, layout.width, layout.height, fScaled);
		if (area.width > 0 && area.height > 0)
			changed.push_back(PixelRect{0, 0, area.width, area.height});
		return true;
	}
	for (const PixelRect& rect : damage.Rects()) {
		PixelRect covered = AreaScaler::Covering(size, layout.width, layout.height, rect);
		if (covered.width < 1 || covered.height < 1)
			continue;
		_Keep(covered);
		fScaler.ScaleArea(frame, layout.width, layout.height, covered, fScaled);
		PixelRect tight = _Changed(covered);
		if (tight.width < 1)
			continue;
		tight.x += layout.left;
		tight.y += layout.top;
		changed.push_back(tight);
	}
	return false;
}


void
ScaledFrame::_Keep(PixelRect rect)
{
	fKept.resize(static_cast<size_t>(rect.width) * static_cast<size_t>(rect.height));
	Rgb* kept = fKept.data();
	for (int32_t y = rect.y; y < rect.y + rect.height; y++, kept += rect.width) {
		std::memcpy(kept, fScaled.data() + static_cast<size_t>(y) * fLayout.width + rect.x,
			static_cast<size_t>(rect.width) * sizeof(Rgb));
	}
}


PixelRect
ScaledFrame::_Changed(PixelRect rect) const
{
	int32_t left = rect.x + rect.width;
	int32_t right = rect.x - 1;
	int32_t top = -1;
	int32_t bottom = -1;
	const Rgb* kept = fKept.data();
	for (int32_t y = rect.y; y < rect.y + rect.height; y++, kept += rect.width) {
		const Rgb* now = fScaled.data() + static_cast<size_t>(y) * fLayout.width + rect.x;
		int32_t first = 0;
		while (first < rect.width && kept[first] == now[first])
			first++;
		if (first == rect.width)
			continue;
		int32_t last = rect.width - 1;
		while (kept[last] == now[last])
			last--;
		left = std::min(left, rect.x + first);
		right = std::max(right, rect.x + last);
		top = top < 0 ? y : top;
		bottom = y;
	}
	if (top < 0)
		return PixelRect{};
	return PixelRect{left, top, right - left + 1, bottom - top + 1};
}


void
ScaledFrame::CopyRgb(PixelRect rect, uint8_t* rgb) const
{
	const PictureLayout& layout = fLayout;
	size_t rowBytes = static_cast<size_t>(rect.width) * 3;
	for (int32_t y = rect.y; y < rect.y + rect.height; y++, rgb += rowBytes) {
		int32_t row = y - layout.top;
		// The part of the row within the picture; black on either side.
		int32_t from = std::clamp(layout.left, rect.x, rect.x + rect.width);
		int32_t to = std::clamp(layout.left + layout.width, from, rect.x + rect.width);
		if (row < 0 || row >= layout.height)
			from = to = rect.x;
		std::memset(rgb, 0, static_cast<size_t>(from - rect.x) * 3);
		uint8_t* out = rgb + static_cast<size_t>(from - rect.x) * 3;
		if (from < to) {
			const Rgb* pixel = fScaled.data() + static_cast<size_t>(row) * layout.width
				+ (from - layout.left);
			for (int32_t x = from; x < to; x++, pixel++, out += 3) {
				out[0] = static_cast<uint8_t>(*pixel >> 16);
				out[1] = static_cast<uint8_t>(*pixel >> 8);
				out[2] = static_cast<uint8_t>(*pixel);
			}
		}
		std::memset(out, 0, static_cast<size_t>(rect.x + rect.width - to) * 3);
	}
}
