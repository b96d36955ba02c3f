// A frame as the terminal shows it in its own pixels: scaled to fit an area
// of them, its aspect kept, centred on black. The sixel and the kitty
// pictures each keep one, work out again only what the damage covers, and
// send the parts of it that changed: of each damaged rectangle, the
// rectangle around the pixels that came out different.
#ifndef SAVERHOST_SCALED_FRAME_H
#define SAVERHOST_SCALED_FRAME_H

#include <cstdint>
#include <vector>

#include "base/Damage.h"
#include "base/PixelView.h"
#include "base/Size.h"
#include "outputs/terminal/TerminalPicture.h"

class ScaledFrame {
public:
	// Takes in the frame for an area of the size, which changed since the
	// last one only where damage says; puts the rectangles of the area that
	// changed in changed. True when that is the whole area: a new area, frame
	// size or picture, whole damage, or after Invalidate().
	bool Update(const PixelView& frame, const Damage& damage, Size area,
		std::vector<PixelRect>& changed);
	void Invalidate() { fWhole = true; }

	Size Area() const { return fArea; }
	// The rectangle's pixels, red, green, blue, row after row, black outside
	// the picture; rgb holds 3 x its width x its height bytes.
	void CopyRgb(PixelRect rect, uint8_t* rgb) const;

private:
	// The scaled pixels of the rectangle, into fKept.
	void _Keep(PixelRect rect);
	// The part of the rectangle whose pixels differ from those kept; empty
	// when none do.
	PixelRect _Changed(PixelRect rect) const;

	AreaScaler fScaler{AreaScaler::Blend::Mean};
	PictureLayout fLayout;
	Size fArea;
	Size fFrame;
	bool fWhole = true;
	std::vector<Rgb> fScaled;
	std::vector<Rgb> fKept;
};

#endif	// SAVERHOST_SCALED_FRAME_H
