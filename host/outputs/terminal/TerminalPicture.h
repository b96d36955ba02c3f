// A frame as text for a terminal: the picture scaled down to two pixels a
// character cell (the upper half block U+2580, foreground above, background
// below), and the bytes that turn what the terminal shows into the next frame,
// touching only the cells that changed. Pure: no terminal is needed, so tests
// and benchmarks drive it directly. Also the scaler and the fitting that the
// pictures in the terminal's own pixels share.
#ifndef SAVERHOST_TERMINAL_PICTURE_H
#define SAVERHOST_TERMINAL_PICTURE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Damage.h"
#include "base/PixelView.h"
#include "base/Size.h"
#include "outputs/terminal/TerminalPainter.h"

// A colour as 0xRRGGBB.
using Rgb = uint32_t;

enum class TerminalColors {
	TrueColor,	// SGR 38;2;r;g;b and 48;2;r;g;b
	Palette256	// SGR 38;5;n and 48;5;n, the 6x6x6 cube and the grey ramp
};

// Where a picture goes in an area of columns x rows cells, counted in the
// area's pixels: columns across, two a cell down. A cell is about twice as
// high as wide, so these pixels are about square; the picture keeps its
// aspect ratio, is centred, and black fills the rest.
struct PictureLayout {
	int32_t columns = 0;
	int32_t rows = 0;
	int32_t left = 0;
	int32_t top = 0;
	int32_t width = 0;
	int32_t height = 0;

	bool operator==(const PictureLayout& other) const;
	bool operator!=(const PictureLayout& other) const { return !(*this == other); }
};

PictureLayout FitPicture(Size source, int32_t columns, int32_t rows);
// The same for an area of width x height square pixels.
PictureLayout FitPixels(Size source, int32_t width, int32_t height);

// Scales pictures down to a few pixels a character cell, faithful to the
// picture but legible: each target pixel is, channel by channel, half the
// mean of the source area it covers (a source pixel only partly covered
// counting by the part that is) and half the brightest value in it, rounded
// to the nearest value. A plain mean would leave the small bright shapes a
// screen saver draws (discs of a dozen pixels) a dim smudge; the brightest
// value alone would make them blocks. A uniform area keeps its colour. The
// weights are exact integers, so the result does not depend on the machine.
// For pictures of the terminal's own pixels, which are many, the plain mean
// (Blend::Mean), larger or smaller than the source alike, with weights of 11
// bits a side, which a shift divides.
class AreaScaler {
public:
	enum class Blend { MeanAndPeak, Mean };

	explicit AreaScaler(Blend blend = Blend::MeanAndPeak)
		: fPeakShare(blend == Blend::Mean ? 0 : 1) {}

	// Averages source into a width x height grid of colours, row after row.
	void Scale(const PixelView& source, int32_t width, int32_t height, std::vector<Rgb>& target);
	// The same for the target pixels within area only, in a grid that holds
	// width x height colours already.
	void ScaleArea(const PixelView& source, int32_t width, int32_t height, PixelRect area,
		std::vector<Rgb>& target);
	// The target pixels of a width x height grid whose average takes in a
	// pixel of the source's area.
	static PixelRect Covering(Size source, int32_t width, int32_t height, PixelRect area);

private:
	// The source pixels one target pixel covers along one axis, and where
	// their weights start in the axis's weight list.
	struct Span {
		int32_t first = 0;
		int32_t count = 0;
		size_t weights = 0;
	};
	struct Axis {
		int32_t sourceLength = 0;
		int32_t targetLength = 0;
		std::vector<Span> spans;
		std::vector<uint32_t> weights;
	};

	// The plain mean's weights of a target pixel add up to kMeanOne.
	static constexpr int kMeanBits = 11;
	static constexpr uint32_t kMeanOne = 1u << kMeanBits;

	static void _Prepare(Axis& axis, int32_t sourceLength, int32_t targetLength,
		bool normalized);
	static void _Normalize(uint32_t* weights, int32_t count, int64_t total);

	// Half the mean plus half the peak, or the mean alone, rounded to
	// nearest: the quotient of whole numbers, taken as a product with the
	// divisor's reciprocal, which costs a fraction of a division. It is
	// exact: the divisor is at most 2^29 and the quotient below 256, so a
	// quotient that is not whole lies at least 2^-29 below the next whole
	// number, and the two roundings of the double product are off by less
	// than 2^-43; the nudge of 2^-35 lifts a whole quotient that rounded down
	// back up without lifting any other one to the next.
	struct PeakBlend {
		PeakBlend(uint64_t total, uint64_t share)
			:
			total(total),
			share(share),
			divisor((1 + share) * total),
			reciprocal(1.0 / static_cast<double>(divisor))
		{
		}

		uint64_t operator()(uint64_t sum, uint64_t peak) const
		{
			double numerator = static_cast<double>(sum + share * peak * total + divisor / 2);
			return static_cast<uint64_t>(numerator * reciprocal + 0x1p-35);
		}

		uint64_t total;
		uint64_t share;
		uint64_t divisor;
		double reciprocal;
	};

	void _SumRows(const PixelView& source, const Span& rows, int32_t sourceLeft,
		size_t rowBytes);
	void _PutMeans(const uint32_t* sums, int32_t sourceLeft, int32_t left, int32_t right,
		Rgb* out) const;
	void _PutBlends(const PeakBlend& blend, int32_t sourceLeft, int32_t left, int32_t right,
		Rgb* out) const;

	uint64_t fPeakShare;
	Axis fColumns;
	Axis fRows;
	// One target row's weighted sum of source rows, and their brightest
	// values, four bytes a pixel.
	std::vector<uint32_t> fRowSums;
	std::vector<uint8_t> fRowPeaks;
};

// The index of the 256-colour palette entry nearest to colour: one of the
// 6x6x6 colour cube (16 to 231) or the grey ramp (232 to 255). The sixteen
// system colours are left out: every terminal has its own.
uint8_t NearestPaletteIndex(Rgb colour);
// The colour of a palette entry from 16 to 255.
Rgb PaletteColour(uint8_t index);

// Encodes frames for a terminal that keeps what it was sent. It remembers the
// cells it last sent, where the cursor is and which colours are in effect;
// whoever else writes to the terminal must call Invalidate() or
// ForgetCursor() afterwards.
class TerminalPicture : public TerminalPainter {
public:
	explicit TerminalPicture(TerminalColors colors);

	// The picture fills columns x rows cells from the terminal's top-left
	// corner. A new size repaints every cell with the next frame.
	void SetArea(int32_t columns, int32_t rows);
	void SetArea(const TerminalArea& area) override { SetArea(area.columns, area.rows); }
	// Forgets what the terminal shows: the next frame repaints every cell.
	void Invalidate() override;
	// Forgets the cursor position and the colours in effect, for after
	// someone else wrote to the terminal outside the picture.
	void ForgetCursor() override;

	// Appends to out the bytes that turn the last frame into this one, and
	// gives their count. A frame identical to the last one adds nothing.
	size_t Encode(const PixelView& frame, std::string& out);
	// The same for a frame that changed since the last one only where damage
	// says: only the cells over those pixels are worked out again.
	size_t Encode(const PixelView& frame, const Damage& damage, std::string& out) override;

	TerminalColors Colors() const { return fColors; }
	// The layout of the latest frame.
	const PictureLayout& Layout() const { return fLayout; }

private:
	// A cell's two pixels, each as it is sent: 0xRRGGBB or a palette index.
	struct Cell {
		uint32_t top = 0;
		uint32_t bottom = 0;

		bool operator==(const Cell& other) const
		{
			return top == other.top && bottom == other.bottom;
		}
		bool operator!=(const Cell& other) const { return !(*this == other); }
	};

	// What the terminal's cursor is known to be like; position -1 when not
	// known (after the last column, or after someone else wrote).
	struct Cursor {
		int32_t row = -1;
		int32_t column = -1;
		int64_t foreground = -1;
		int64_t background = -1;
	};

	void _BuildCells(const PixelView& frame);
	// Works out again the cells over the changed pixels of frame.
	void _UpdateCells(const PixelView& frame, const Damage& damage);
	void _PutPixels(PixelRect area);
	uint32_t _Encoded(Rgb colour) const;
	// Moves the cursor to the cell, by the shortest of the ways that work.
	void _MoveTo(int32_t row, int32_t column, std::string& out);
	// Writes the cell at the cursor, setting only the colours not in effect.
	void _PutCell(const Cell& cell, Cursor& cursor, std::string& out) const;
	void _AppendColors(const Cell& cell, bool foreground, bool background,
		std::string& out) const;

	TerminalColors fColors;
	int32_t fColumns = 0;
	int32_t fRows = 0;
	PictureLayout fLayout;
	// The size of the frame the cells were worked out from.
	Size fFrame;
	bool fRepaint = true;
	Cursor fCursor;

	AreaScaler fScaler;
	std::vector<Rgb> fScaled;
	std::vector<Cell> fCells;
	std::vector<Cell> fShown;
	std::string fScratch;
};

// text made safe to put on a terminal, at most cells characters long: control
// characters (which could move the cursor or change the terminal's modes) and
// broken UTF-8 become '?'.
std::string TerminalText(const std::string& text, size_t cells);

#endif	// SAVERHOST_TERMINAL_PICTURE_H
