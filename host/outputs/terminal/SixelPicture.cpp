#include "outputs/terminal/SixelPicture.h"

#include <sixel.h>

#include <algorithm>


namespace {

// Black behind the images, as the picture's own background: a terminal that
// keeps a number of images and drops the oldest then shows black there.
const char kBlack[] = "\x1b[0;40m";
const char kCursorStaysBeside[] = "\x1b[?8452h";
const char kCursorGoesBelow[] = "\x1b[?8452l";

constexpr int kMostColors = 256;
constexpr int kBinBits = 5;


int
WriteTo(char* data, int size, void* target)
{
	static_cast<std::string*>(target)->append(data, static_cast<size_t>(size));
	return 0;
}

}	// namespace


// libsixel's output, writing to whatever string target points to.
struct SixelPicture::Encoder {
	Encoder()
	{
		if (SIXEL_FAILED(sixel_output_new(&output, WriteTo, &target, nullptr)))
			output = nullptr;
	}
	~Encoder()
	{
		if (output != nullptr)
			sixel_output_unref(output);
	}

	sixel_output_t* output = nullptr;
	std::string target;
};


SixelPicture::SixelPicture(const SixelTerminal& terminal)
	:
	fColors(terminal.registers <= 0 ? kMostColors : std::clamp(terminal.registers, 2,
		kMostColors)),
	fLargest(terminal.largest),
	fFewImages(terminal.fewImages),
	fBinPass(size_t(1) << (3 * kBinBits), 0),
	fBinIndex(size_t(1) << (3 * kBinBits), 0),
	fEncoder(std::make_unique<Encoder>())
{
}


SixelPicture::~SixelPicture() = default;


void
SixelPicture::SetArea(const TerminalArea& area)
{
	// Whole cells within the largest image, centred.
	fArea = area;
	if (fLargest.width > 0 && area.cellWidth > 0)
		fArea.columns = std::min(area.columns, fLargest.width / area.cellWidth);
	if (fLargest.height > 0 && area.cellHeight > 0)
		fArea.rows = std::min(area.rows, fLargest.height / area.cellHeight);
	fLeft = (area.columns - fArea.columns) / 2;
	fTop = (area.rows - fArea.rows) / 2;
	fGivenRows = area.rows;
	fFrame.Invalidate();
}


const char*
SixelPicture::Leave() const
{
	return kCursorGoesBelow;
}


int
SixelPicture::_Quantize(size_t count)
{
	fIndices.resize(count);
	// Fewer bits a channel until the colours fit the registers; with none,
	// one bin holds every pixel.
	for (int bits = kBinBits;; bits--) {
		if (++fPass == 0) {
			std::fill(fBinPass.begin(), fBinPass.end(), 0);
			fPass = 1;
		}
		int shift = 8 - bits;
		int colors = 0;
		fSums.clear();
		size_t i = 0;
		for (; i < count; i++) {
			const uint8_t* pixel = fRgb.data() + i * 3;
			uint32_t bin = static_cast<uint32_t>(pixel[0] >> shift) << (2 * bits)
				| static_cast<uint32_t>(pixel[1] >> shift) << bits | (pixel[2] >> shift);
			if (fBinPass[bin] != fPass) {
				if (colors == fColors)
					break;
				fBinPass[bin] = fPass;
				fBinIndex[bin] = static_cast<uint8_t>(colors++);
				fSums.insert(fSums.end(), {0, 0, 0, 0});
			}
			uint8_t index = fBinIndex[bin];
			fIndices[i] = index;
			uint32_t* sum = fSums.data() + index * 4;
			sum[0] += pixel[0];
			sum[1] += pixel[1];
			sum[2] += pixel[2];
			sum[3]++;
		}
		if (i < count && bits > 0)
			continue;

		// libsixel wants two colours at least.
		fPalette.assign(static_cast<size_t>(std::max(colors, 2)) * 3, 0);
		for (int color = 0; color < colors; color++) {
			const uint32_t* sum = fSums.data() + color * 4;
			for (int channel = 0; channel < 3; channel++) {
				fPalette[color * 3 + channel]
					= static_cast<uint8_t>((sum[channel] + sum[3] / 2) / sum[3]);
			}
		}
		return std::max(colors, 2);
	}
}


void
SixelPicture::_SendCells(PixelRect cells, std::string& out)
{
	PixelRect rect{cells.x * fArea.cellWidth, cells.y * fArea.cellHeight,
		cells.width * fArea.cellWidth, cells.height * fArea.cellHeight};
	size_t count = static_cast<size_t>(rect.width) * static_cast<size_t>(rect.height);
	if (count == 0 || fEncoder->output == nullptr)
		return;
	fRgb.resize(count * 3);
	fFrame.CopyRgb(rect, fRgb.data());
	int colors = _Quantize(count);

	sixel_dither_t* dither = nullptr;
	if (SIXEL_FAILED(sixel_dither_new(&dither, colors, nullptr)))
		return;
	sixel_dither_set_pixelformat(dither, SIXEL_PIXELFORMAT_PAL8);
	sixel_dither_set_palette(dither, fPalette.data());
	out += "\x1b[" + std::to_string(fTop + cells.y + 1) + ";"
		+ std::to_string(fLeft + cells.x + 1) + "H";
	fEncoder->target.clear();
	sixel_encode(fIndices.data(), rect.width, rect.height, 8, dither, fEncoder->output);
	sixel_dither_unref(dither);
	out += fEncoder->target;
}


const std::vector<PixelRect>&
SixelPicture::_ChangedCells(const std::vector<PixelRect>& changed)
{
	int32_t columns = fArea.columns;
	int32_t rows = fArea.rows;
	fCellMap.assign(static_cast<size_t>(columns) * static_cast<size_t>(rows), 0);
	for (const PixelRect& rect : changed) {
		int32_t right = std::min((rect.x + rect.width - 1) / fArea.cellWidth, columns - 1);
		int32_t bottom = std::min((rect.y + rect.height - 1) / fArea.cellHeight, rows - 1);
		for (int32_t row = rect.y / fArea.cellHeight; row <= bottom; row++) {
			uint8_t* line = fCellMap.data() + static_cast<size_t>(row) * columns;
			std::fill(line + rect.x / fArea.cellWidth, line + right + 1, 1);
		}
	}
	fCells.ReadTiles(fCellMap.data(), columns, rows, 1, Size{columns, rows});
	return fCells.Rects();
}


// The picture's rows black, line by line: the rest of the screen (the
// status line below) stays as it is.
void
SixelPicture::_EraseArea(std::string& out) const
{
	out += kBlack;
	for (int32_t row = 0; row < fGivenRows; row++)
		out += "\x1b[" + std::to_string(row + 1) + "H\x1b[2K";
}


size_t
SixelPicture::Encode(const PixelView& frame, const Damage& damage, std::string& out)
{
	size_t start = out.size();
	Size area{fArea.PixelWidth(), fArea.PixelHeight()};
	if (area.width < 1 || area.height < 1)
		return 0;
	bool whole = fFrame.Update(frame, damage, area, fChanged);
	if (whole) {
		_EraseArea(out);
		out += kCursorStaysBeside;
	}
	if (fFewImages && !fChanged.empty()) {
		_SendCells(PixelRect{0, 0, fArea.columns, fArea.rows}, out);
	} else if (whole) {
		// Row by row of cells: fewer colours an image, and so less work.
		for (int32_t row = 0; row < fArea.rows; row++)
			_SendCells(PixelRect{0, row, fArea.columns, 1}, out);
	} else {
		for (const PixelRect& cells : _ChangedCells(fChanged))
			_SendCells(cells, out);
	}
	return out.size() - start;
}
