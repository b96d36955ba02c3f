// The picture as sixel images, made by libsixel: the whole area when new,
// then, frame by frame, only the cells whose pixels changed, as a few
// rectangles of whole cells, each an image drawn over the last at its cell.
// Each image has a palette of its own, of the colours in it: its pixels put
// in bins of 5 bits a channel (fewer when that would take more colours than
// the terminal has registers), each bin the mean of its pixels. libsixel's
// work grows with the colours times the pixels, so small rectangles of few
// colours are cheap where one image of the area is not.
//
// After an image the cursor is left on its last row (mode 8452), so that one
// that reaches the bottom row does not scroll the screen. A terminal that
// keeps only a few images gets one image of the whole picture for each frame
// that changed instead.
#ifndef SAVERHOST_SIXEL_PICTURE_H
#define SAVERHOST_SIXEL_PICTURE_H

#include <memory>
#include <string>
#include <vector>

#include "base/Damage.h"
#include "outputs/terminal/ScaledFrame.h"
#include "outputs/terminal/TerminalPainter.h"

// What a terminal says of its sixel images.
struct SixelTerminal {
	// The colour registers an image may use, 0 when not said; at most 256
	// are used.
	int registers = 0;
	// The largest image, 0 x 0 when not said: the picture keeps within it.
	Size largest;
	// It keeps only a few images, and drops one it still shows for a new one
	// (xterm: 16, the topmost first).
	bool fewImages = false;
};

class SixelPicture : public TerminalPainter {
public:
	explicit SixelPicture(const SixelTerminal& terminal);
	~SixelPicture() override;

	void SetArea(const TerminalArea& area) override;
	void Invalidate() override { fFrame.Invalidate(); }
	size_t Encode(const PixelView& frame, const Damage& damage, std::string& out) override;
	const char* Leave() const override;

	// The colours an image may have.
	int Colors() const { return fColors; }

private:
	struct Encoder;

	// The rectangles of whole cells over the changed pixels.
	const std::vector<PixelRect>& _ChangedCells(const std::vector<PixelRect>& changed);
	void _SendCells(PixelRect cells, std::string& out);
	void _EraseArea(std::string& out) const;
	// fIndices and fPalette for the pixels in fRgb; gives the colours.
	int _Quantize(size_t count);

	int fColors;
	Size fLargest;
	bool fFewImages;
	// The picture's area, and its top-left cell on the terminal.
	TerminalArea fArea;
	int32_t fLeft = 0;
	int32_t fTop = 0;
	// The rows the picture was given, which a whole repaint blacks out.
	int32_t fGivenRows = 0;
	ScaledFrame fFrame;
	std::vector<PixelRect> fChanged;
	std::vector<uint8_t> fCellMap;
	Damage fCells;
	std::vector<uint8_t> fRgb;
	std::vector<uint8_t> fIndices;
	std::vector<uint8_t> fPalette;
	std::vector<uint32_t> fSums;
	// Per bin: the pass that last saw it, and its colour's index then.
	std::vector<uint32_t> fBinPass;
	std::vector<uint8_t> fBinIndex;
	uint32_t fPass = 0;
	std::unique_ptr<Encoder> fEncoder;
};

#endif	// SAVERHOST_SIXEL_PICTURE_H
