#include "outputs/terminal/TerminalPicture.h"

#include <algorithm>


namespace {

// The upper half block: its foreground paints a cell's top pixel, its
// background the bottom one.
const char kUpperHalf[] = "\xe2\x96\x80";

// The levels of the 256-colour cube along each axis.
const uint8_t kCubeLevels[6] = {0, 95, 135, 175, 215, 255};


inline uint32_t
Red(Rgb colour)
{
	return (colour >> 16) & 0xff;
}


inline uint32_t
Green(Rgb colour)
{
	return (colour >> 8) & 0xff;
}


inline uint32_t
Blue(Rgb colour)
{
	return colour & 0xff;
}


// The cube level nearest to a channel's value.
inline int
CubeStep(uint32_t value)
{
	// Half-way points between neighbouring levels.
	if (value < 48)
		return 0;
	if (value < 115)
		return 1;
	return static_cast<int>((value - 35) / 40);
}


inline uint32_t
SquaredDistance(Rgb a, Rgb b)
{
	int dr = static_cast<int>(Red(a)) - static_cast<int>(Red(b));
	int dg = static_cast<int>(Green(a)) - static_cast<int>(Green(b));
	int db = static_cast<int>(Blue(a)) - static_cast<int>(Blue(b));
	return static_cast<uint32_t>(dr * dr + dg * dg + db * db);
}


void
AppendNumber(uint32_t value, std::string& out)
{
	char digits[10];
	int count = 0;
	do {
		digits[count++] = static_cast<char>('0' + value % 10);
		value /= 10;
	} while (value != 0);
	while (count > 0)
		out += digits[--count];
}


size_t
DigitCount(uint32_t value)
{
	size_t count = 1;
	while (value >= 10) {
		value /= 10;
		count++;
	}
	return count;
}

}	// namespace


bool
PictureLayout::operator==(const PictureLayout& other) const
{
	return columns == other.columns && rows == other.rows && left == other.left
		&& top == other.top && width == other.width && height == other.height;
}


PictureLayout
FitPicture(Size source, int32_t columns, int32_t rows)
{
	PictureLayout layout = FitPixels(source, std::max(columns, 0),
		static_cast<int32_t>(std::min<int64_t>(2 * static_cast<int64_t>(std::max(rows, 0)),
			INT32_MAX)));
	layout.columns = std::max(columns, 0);
	layout.rows = std::max(rows, 0);
	return layout;
}


PictureLayout
FitPixels(Size source, int32_t areaWidth, int32_t areaHeight)
{
	PictureLayout layout;
	layout.columns = std::max(areaWidth, 0);
	layout.rows = std::max(areaHeight, 0);
	int64_t width = layout.columns;
	int64_t height = layout.rows;
	if (width == 0 || height == 0 || source.width < 1 || source.height < 1)
		return layout;

	int64_t sourceWidth = source.width;
	int64_t sourceHeight = source.height;
	int64_t fitWidth;
	int64_t fitHeight;
	if (sourceWidth * height >= sourceHeight * width) {
		// Wider than the area: full width, bars above and below.
		fitWidth = width;
		fitHeight = (2 * sourceHeight * width + sourceWidth) / (2 * sourceWidth);
	} else {
		fitHeight = height;
		fitWidth = (2 * sourceWidth * height + sourceHeight) / (2 * sourceHeight);
	}
	layout.width = static_cast<int32_t>(std::clamp<int64_t>(fitWidth, 1, width));
	layout.height = static_cast<int32_t>(std::clamp<int64_t>(fitHeight, 1, height));
	layout.left = static_cast<int32_t>((width - layout.width) / 2);
	layout.top = static_cast<int32_t>((height - layout.height) / 2);
	return layout;
}


// #pragma mark - AreaScaler


void
AreaScaler::_Prepare(Axis& axis, int32_t sourceLength, int32_t targetLength, bool normalized)
{
	if (axis.sourceLength == sourceLength && axis.targetLength == targetLength)
		return;
	axis.sourceLength = sourceLength;
	axis.targetLength = targetLength;
	axis.spans.assign(static_cast<size_t>(targetLength), Span{});
	axis.weights.clear();

	// Measured in units of 1 / (source length x target length) of the whole
	// axis, source pixel s covers [s * T, (s + 1) * T) and target pixel t
	// covers [t * S, (t + 1) * S): the overlaps are whole numbers, and those
	// of one target pixel add up to S.
	int64_t source = sourceLength;
	int64_t target = targetLength;
	for (int64_t t = 0; t < target; t++) {
		int64_t begin = t * source;
		int64_t end = begin + source;
		int64_t first = begin / target;
		int64_t last = (end - 1) / target;
		Span& span = axis.spans[static_cast<size_t>(t)];
		span.first = static_cast<int32_t>(first);
		span.count = static_cast<int32_t>(last - first + 1);
		span.weights = axis.weights.size();
		for (int64_t s = first; s <= last; s++) {
			int64_t overlap = std::min((s + 1) * target, end) - std::max(s * target, begin);
			axis.weights.push_back(static_cast<uint32_t>(overlap));
		}
		if (normalized)
			_Normalize(axis.weights.data() + span.weights, span.count, source);
	}
}


// Weights that add up to kMeanOne, in the proportions of the overlaps: the
// nearest to each, the largest taking what rounding left over.
void
AreaScaler::_Normalize(uint32_t* weights, int32_t count, int64_t total)
{
	int64_t sum = 0;
	int32_t largest = 0;
	for (int32_t k = 0; k < count; k++) {
		if (weights[k] > weights[largest])
			largest = k;
		weights[k] = static_cast<uint32_t>((2 * weights[k] * kMeanOne + total) / (2 * total));
		sum += weights[k];
	}
	weights[largest] = static_cast<uint32_t>(weights[largest] + kMeanOne - sum);
}


void
AreaScaler::Scale(const PixelView& source, int32_t width, int32_t height,
	std::vector<Rgb>& target)
{
	target.assign(static_cast<size_t>(std::max(width, 0)) * std::max(height, 0), 0);
	ScaleArea(source, width, height, PixelRect{0, 0, width, height}, target);
}


void
AreaScaler::ScaleArea(const PixelView& source, int32_t width, int32_t height, PixelRect area,
	std::vector<Rgb>& target)
{
	if (width < 1 || height < 1 || source.width < 1 || source.height < 1
		|| target.size() != static_cast<size_t>(width) * static_cast<size_t>(height))
		return;
	int32_t left = std::max(area.x, 0);
	int32_t top = std::max(area.y, 0);
	int32_t right = static_cast<int32_t>(std::min<int64_t>(
		static_cast<int64_t>(area.x) + area.width, width));
	int32_t bottom = static_cast<int32_t>(std::min<int64_t>(
		static_cast<int64_t>(area.y) + area.height, height));
	if (left >= right || top >= bottom)
		return;

	_Prepare(fColumns, source.width, width, fPeakShare == 0);
	_Prepare(fRows, source.height, height, fPeakShare == 0);

	// Each target row first sums its source rows, weighted by how much of
	// each it covers, and keeps their brightest value, byte by byte; then
	// each target pixel does the same across its part of that row. Only the
	// source columns the area's pixels take in are gone over. A row sum is at
	// most 255 x source height, which fits 32 bits for any side up to 16
	// million; the full sums need 64.
	const Span& leftSpan = fColumns.spans[static_cast<size_t>(left)];
	const Span& rightSpan = fColumns.spans[static_cast<size_t>(right - 1)];
	int32_t sourceLeft = leftSpan.first;
	size_t rowBytes = static_cast<size_t>(rightSpan.first + rightSpan.count - sourceLeft) * 4;
	fRowSums.resize(static_cast<size_t>(source.width) * 4);
	fRowPeaks.resize(static_cast<size_t>(source.width) * 4);
	PeakBlend blend(static_cast<uint64_t>(source.width) * static_cast<uint64_t>(source.height),
		fPeakShare);
	for (int32_t y = top; y < bottom; y++) {
		_SumRows(source, fRows.spans[static_cast<size_t>(y)], sourceLeft, rowBytes);
		Rgb* out = target.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
		if (fPeakShare == 0)
			_PutMeans(fRowSums.data(), sourceLeft, left, right, out);
		else
			_PutBlends(blend, sourceLeft, left, right, out);
	}
}


// The source rows of one target row, weighted by how much of each it covers,
// summed into fRowSums, and their brightest values, byte by byte, into
// fRowPeaks; rowBytes from the column sourceLeft on.
void
AreaScaler::_SumRows(const PixelView& source, const Span& rows, int32_t sourceLeft,
	size_t rowBytes)
{
	// Locals, which the byte stores below cannot be taken to change.
	uint32_t* sums = fRowSums.data();
	uint8_t* peaks = fRowPeaks.data();
	const uint32_t* weights = fRows.weights.data() + rows.weights;
	bool keepPeaks = fPeakShare != 0;
	std::fill(sums, sums + rowBytes, 0);
	if (keepPeaks)
		std::fill(peaks, peaks + rowBytes, 0);
	for (int32_t k = 0; k < rows.count; k++) {
		uint32_t weight = weights[k];
		const uint8_t* row = source.Row(rows.first + k) + static_cast<size_t>(sourceLeft) * 4;
		for (size_t i = 0; i < rowBytes; i++)
			sums[i] += weight * row[i];
		// The plain mean needs no peaks.
		for (size_t i = 0; keepPeaks && i < rowBytes; i++)
			peaks[i] = std::max(peaks[i], row[i]);
	}
}


// The target pixels left to right of one row, each across its part of the
// row's sums and peaks.
void
AreaScaler::_PutBlends(const PeakBlend& blend, int32_t sourceLeft, int32_t left, int32_t right,
	Rgb* out) const
{
	for (int32_t x = left; x < right; x++) {
		const Span& columns = fColumns.spans[static_cast<size_t>(x)];
		const uint32_t* weights = fColumns.weights.data() + columns.weights;
		size_t first = static_cast<size_t>(columns.first - sourceLeft) * 4;
		const uint32_t* pixel = fRowSums.data() + first;
		const uint8_t* peak = fRowPeaks.data() + first;
		uint64_t red = 0;
		uint64_t green = 0;
		uint64_t blue = 0;
		uint8_t redPeak = 0;
		uint8_t greenPeak = 0;
		uint8_t bluePeak = 0;
		for (int32_t k = 0; k < columns.count; k++, pixel += 4, peak += 4) {
			uint64_t weight = weights[k];
			red += weight * pixel[kRedByte];
			green += weight * pixel[kGreenByte];
			blue += weight * pixel[kBlueByte];
			redPeak = std::max(redPeak, peak[kRedByte]);
			greenPeak = std::max(greenPeak, peak[kGreenByte]);
			bluePeak = std::max(bluePeak, peak[kBlueByte]);
		}
		out[x] = static_cast<Rgb>(blend(red, redPeak) << 16 | blend(green, greenPeak) << 8
			| blend(blue, bluePeak));
	}
}


// The plain mean: weights of kMeanOne a side, so that a pixel's weighted sum
// is at most 255 x kMeanOne^2, and a shift divides it.
void
AreaScaler::_PutMeans(const uint32_t* sums, int32_t sourceLeft, int32_t left, int32_t right,
	Rgb* out) const
{
	constexpr int kShift = 2 * kMeanBits;
	for (int32_t x = left; x < right; x++) {
		const Span& columns = fColumns.spans[static_cast<size_t>(x)];
		const uint32_t* weights = fColumns.weights.data() + columns.weights;
		const uint32_t* pixel = sums + static_cast<size_t>(columns.first - sourceLeft) * 4;
		uint32_t red = 0;
		uint32_t green = 0;
		uint32_t blue = 0;
		for (int32_t k = 0; k < columns.count; k++, pixel += 4) {
			red += weights[k] * pixel[kRedByte];
			green += weights[k] * pixel[kGreenByte];
			blue += weights[k] * pixel[kBlueByte];
		}
		constexpr uint32_t kHalf = 1u << (kShift - 1);
		out[x] = ((red + kHalf) >> kShift) << 16 | ((green + kHalf) >> kShift) << 8
			| (blue + kHalf) >> kShift;
	}
}


PixelRect
AreaScaler::Covering(Size source, int32_t width, int32_t height, PixelRect area)
{
	// Source pixel s and target pixel t overlap where s x T < (t + 1) x S and
	// (s + 1) x T > t x S, in the units of AreaScaler::_Prepare(): from
	// t = floor(s x T / S) to t = floor(((s + 1) x T - 1) / S).
	auto covering = [](int64_t first, int64_t last, int64_t sourceLength,
		int64_t targetLength, int32_t& from, int32_t& to) {
		from = static_cast<int32_t>(first * targetLength / sourceLength);
		to = static_cast<int32_t>(((last + 1) * targetLength - 1) / sourceLength);
	};
	int64_t left = std::max<int64_t>(area.x, 0);
	int64_t top = std::max<int64_t>(area.y, 0);
	int64_t right = std::min<int64_t>(static_cast<int64_t>(area.x) + area.width, source.width);
	int64_t bottom = std::min<int64_t>(static_cast<int64_t>(area.y) + area.height,
		source.height);
	if (left >= right || top >= bottom || width < 1 || height < 1)
		return PixelRect{};

	PixelRect covered;
	int32_t last = 0;
	covering(left, right - 1, source.width, width, covered.x, last);
	covered.width = last - covered.x + 1;
	covering(top, bottom - 1, source.height, height, covered.y, last);
	covered.height = last - covered.y + 1;
	return covered;
}


// #pragma mark - palette


uint8_t
NearestPaletteIndex(Rgb colour)
{
	// The nearest cube colour is the nearest level on each axis; the nearest
	// grey is the ramp step nearest to the channels' mean.
	int red = CubeStep(Red(colour));
	int green = CubeStep(Green(colour));
	int blue = CubeStep(Blue(colour));
	uint8_t cubeIndex = static_cast<uint8_t>(16 + 36 * red + 6 * green + blue);

	uint32_t mean = (Red(colour) + Green(colour) + Blue(colour) + 1) / 3;
	int greyStep = mean <= 8 ? 0 : std::min(23, static_cast<int>((mean - 8 + 5) / 10));
	uint8_t greyIndex = static_cast<uint8_t>(232 + greyStep);

	return SquaredDistance(colour, PaletteColour(greyIndex))
			< SquaredDistance(colour, PaletteColour(cubeIndex))
		? greyIndex : cubeIndex;
}


Rgb
PaletteColour(uint8_t index)
{
	if (index >= 232) {
		uint32_t grey = 8 + 10 * static_cast<uint32_t>(index - 232);
		return grey << 16 | grey << 8 | grey;
	}
	if (index < 16)
		return 0;
	int cube = index - 16;
	return static_cast<Rgb>(kCubeLevels[cube / 36]) << 16
		| static_cast<Rgb>(kCubeLevels[cube / 6 % 6]) << 8
		| kCubeLevels[cube % 6];
}


// #pragma mark - TerminalPicture


TerminalPicture::TerminalPicture(TerminalColors colors)
	:
	fColors(colors)
{
}


void
TerminalPicture::SetArea(int32_t columns, int32_t rows)
{
	columns = std::max(columns, 0);
	rows = std::max(rows, 0);
	if (columns == fColumns && rows == fRows)
		return;
	fColumns = columns;
	fRows = rows;
	fRepaint = true;
	fCursor = Cursor{};
}


void
TerminalPicture::Invalidate()
{
	fRepaint = true;
	fCursor = Cursor{};
}


void
TerminalPicture::ForgetCursor()
{
	fCursor = Cursor{};
}


uint32_t
TerminalPicture::_Encoded(Rgb colour) const
{
	return fColors == TerminalColors::TrueColor ? colour : NearestPaletteIndex(colour);
}


void
TerminalPicture::_BuildCells(const PixelView& frame)
{
	const PictureLayout& layout = fLayout;
	fScaler.Scale(frame, layout.width, layout.height, fScaled);

	uint32_t black = _Encoded(0);
	fCells.assign(static_cast<size_t>(fColumns) * static_cast<size_t>(fRows), Cell{black, black});
	_PutPixels(PixelRect{0, 0, layout.width, layout.height});
}


void
TerminalPicture::_UpdateCells(const PixelView& frame, const Damage& damage)
{
	const PictureLayout& layout = fLayout;
	Size size{frame.width, frame.height};
	for (const PixelRect& changed : damage.Rects()) {
		PixelRect area = AreaScaler::Covering(size, layout.width, layout.height, changed);
		if (area.width < 1 || area.height < 1)
			continue;
		fScaler.ScaleArea(frame, layout.width, layout.height, area, fScaled);
		_PutPixels(area);
	}
}


// The scaled pixels of the area into the halves of their cells.
void
TerminalPicture::_PutPixels(PixelRect area)
{
	const PictureLayout& layout = fLayout;
	for (int32_t y = area.y; y < area.y + area.height; y++) {
		const Rgb* pixels = fScaled.data()
			+ static_cast<size_t>(y) * static_cast<size_t>(layout.width);
		int32_t row = layout.top + y;
		Cell* cell = fCells.data() + static_cast<size_t>(row / 2) * static_cast<size_t>(fColumns)
			+ layout.left;
		uint32_t Cell::* half = row % 2 == 0 ? &Cell::top : &Cell::bottom;
		for (int32_t x = area.x; x < area.x + area.width; x++)
			cell[x].*half = _Encoded(pixels[x]);
	}
}


void
TerminalPicture::_AppendColors(const Cell& cell, bool foreground, bool background,
	std::string& out) const
{
	const char* mode = fColors == TerminalColors::TrueColor ? ";2;" : ";5;";
	auto append = [&](uint32_t value) {
		out += mode;
		if (fColors == TerminalColors::TrueColor) {
			AppendNumber(Red(value), out);
			out += ';';
			AppendNumber(Green(value), out);
			out += ';';
			AppendNumber(Blue(value), out);
		} else {
			AppendNumber(value, out);
		}
	};

	out += "\x1b[";
	if (foreground) {
		out += "38";
		append(cell.top);
	}
	if (background) {
		out += foreground ? ";48" : "48";
		append(cell.bottom);
	}
	out += 'm';
}


void
TerminalPicture::_PutCell(const Cell& cell, Cursor& cursor, std::string& out) const
{
	if (cell.top == cell.bottom) {
		// One colour: a space in the background colour.
		if (cursor.background != cell.bottom) {
			_AppendColors(cell, false, true, out);
			cursor.background = cell.bottom;
		}
		out += ' ';
	} else {
		bool foreground = cursor.foreground != cell.top;
		bool background = cursor.background != cell.bottom;
		if (foreground || background)
			_AppendColors(cell, foreground, background, out);
		cursor.foreground = cell.top;
		cursor.background = cell.bottom;
		out += kUpperHalf;
	}

	// After the last column the cursor waits to wrap; where it is then
	// differs between terminals, so it is not known.
	if (++cursor.column >= fColumns)
		cursor.row = cursor.column = -1;
}


void
TerminalPicture::_MoveTo(int32_t row, int32_t column, std::string& out)
{
	if (fCursor.row == row && fCursor.column == column)
		return;

	if (fCursor.row == row && fCursor.column >= 0 && fCursor.column < column) {
		// A short run of unchanged cells may cost less to write again than
		// to step over.
		uint32_t gap = static_cast<uint32_t>(column - fCursor.column);
		size_t stepCost = gap == 1 ? 3 : 3 + DigitCount(gap);
		if (gap < stepCost) {
			fScratch.clear();
			Cursor rewritten = fCursor;
			const Cell* cells = fCells.data() + static_cast<size_t>(row) * fColumns;
			for (int32_t x = fCursor.column; x < column && fScratch.size() < stepCost; x++)
				_PutCell(cells[x], rewritten, fScratch);
			if (fScratch.size() < stepCost) {
				out += fScratch;
				fCursor = rewritten;
				return;
			}
		}
		out += "\x1b[";
		if (gap > 1)
			AppendNumber(gap, out);
		out += 'C';
		fCursor.column = column;
		return;
	}

	out += "\x1b[";
	if (row > 0 || column > 0)
		AppendNumber(static_cast<uint32_t>(row + 1), out);
	if (column > 0) {
		out += ';';
		AppendNumber(static_cast<uint32_t>(column + 1), out);
	}
	out += 'H';
	fCursor.row = row;
	fCursor.column = column;
}


size_t
TerminalPicture::Encode(const PixelView& frame, std::string& out)
{
	return Encode(frame, Damage(), out);
}


size_t
TerminalPicture::Encode(const PixelView& frame, const Damage& damage, std::string& out)
{
	size_t start = out.size();
	Size size{frame.width, frame.height};
	PictureLayout layout = FitPicture(size, fColumns, fRows);
	if (layout != fLayout) {
		fLayout = layout;
		fRepaint = true;
	}
	// The cells are worked out anew for a new area, picture or frame size;
	// otherwise only where the frame changed.
	size_t cellCount = static_cast<size_t>(fColumns) * static_cast<size_t>(fRows);
	if (fRepaint || damage.Whole() || !SameSize(size, fFrame) || fCells.size() != cellCount)
		_BuildCells(frame);
	else
		_UpdateCells(frame, damage);
	fFrame = size;

	bool repaint = fRepaint || fShown.size() != fCells.size();
	if (repaint)
		fShown.resize(fCells.size());
	for (int32_t row = 0; row < fRows; row++) {
		size_t rowStart = static_cast<size_t>(row) * static_cast<size_t>(fColumns);
		for (int32_t column = 0; column < fColumns; column++) {
			const Cell& cell = fCells[rowStart + column];
			Cell& shown = fShown[rowStart + column];
			if (!repaint && cell == shown)
				continue;
			_MoveTo(row, column, out);
			_PutCell(cell, fCursor, out);
			shown = cell;
		}
	}

	fRepaint = false;
	return out.size() - start;
}


std::string
TerminalText(const std::string& text, size_t cells)
{
	std::string safe;
	size_t count = 0;
	for (size_t i = 0; i < text.size() && count < cells; count++) {
		unsigned char lead = static_cast<unsigned char>(text[i]);
		size_t length = lead < 0x80 ? 1 : lead >= 0xc2 && lead < 0xe0 ? 2
			: lead >= 0xe0 && lead < 0xf0 ? 3 : lead >= 0xf0 && lead < 0xf5 ? 4 : 0;
		uint32_t point = length == 1 ? lead : length == 2 ? lead & 0x1f
			: length == 3 ? lead & 0x0f : lead & 0x07;
		bool valid = length > 0 && i + length <= text.size();
		for (size_t k = 1; valid && k < length; k++) {
			unsigned char next = static_cast<unsigned char>(text[i + k]);
			valid = (next & 0xc0) == 0x80;
			point = point << 6 | (next & 0x3f);
		}
		// Overlong forms, surrogates and points past the last one.
		if (valid && ((length == 3 && point < 0x800) || (length == 4 && point < 0x10000)
				|| (point >= 0xd800 && point < 0xe000) || point > 0x10ffff)) {
			valid = false;
		}
		// C0 and C1 controls and DEL would act instead of showing.
		if (!valid || point < 0x20 || (point >= 0x7f && point < 0xa0)) {
			safe += '?';
			i += valid ? length : 1;
			continue;
		}
		safe.append(text, i, length);
		i += length;
	}
	return safe;
}
