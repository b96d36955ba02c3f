// The terminal picture: the scaling, the fit into the terminal, the
// 256-colour palette, and the bytes of each frame, read back through a small
// terminal that keeps a grid of half-block cells.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <Bitmap.h>

#include "outputs/terminal/TerminalPicture.h"
#include "run/Surface.h"

namespace {

// A B_RGB32 picture to feed the scaler and the encoder.
struct Picture {
	int32_t width;
	int32_t height;
	size_t bytesPerRow;
	std::vector<uint8_t> bits;

	Picture(int32_t width, int32_t height, size_t padding = 0)
		:
		width(width),
		height(height),
		bytesPerRow(static_cast<size_t>(width) * 4 + padding),
		bits(bytesPerRow * static_cast<size_t>(height), 0)
	{
	}

	void Set(int32_t x, int32_t y, Rgb colour)
	{
		uint8_t* pixel = bits.data() + static_cast<size_t>(y) * bytesPerRow
			+ static_cast<size_t>(x) * 4;
		pixel[kRedByte] = static_cast<uint8_t>(colour >> 16);
		pixel[kGreenByte] = static_cast<uint8_t>(colour >> 8);
		pixel[kBlueByte] = static_cast<uint8_t>(colour);
	}

	void Fill(int32_t left, int32_t top, int32_t right, int32_t bottom, Rgb colour)
	{
		for (int32_t y = std::max(top, 0); y < std::min(bottom, height); y++) {
			for (int32_t x = std::max(left, 0); x < std::min(right, width); x++)
				Set(x, y, colour);
		}
	}

	PixelView View() const { return PixelView{bits.data(), bytesPerRow, width, height}; }
};


constexpr Rgb kBlack = 0x000000;
constexpr Rgb kRed = 0xff0000;
constexpr Rgb kGreen = 0x00ff00;
constexpr Rgb kBlue = 0x0000ff;


// Just enough of a terminal to read the encoder's bytes back: cursor
// positioning (CUP, CUF), the colour SGRs, the space and the upper half
// block, and wrapping after the last column as xterm does it.
class Screen {
public:
	struct Half {
		Rgb top = 0xdeadbe;	// never written
		Rgb bottom = 0xdeadbe;
	};

	Screen(int32_t columns, int32_t rows, TerminalColors colors)
		:
		fColumns(columns),
		fRows(rows),
		fColors(colors),
		fCells(static_cast<size_t>(columns) * rows)
	{
	}

	// Applies bytes; false, with a message, on anything it does not know.
	::testing::AssertionResult Apply(const std::string& bytes)
	{
		fWritten = 0;
		for (size_t i = 0; i < bytes.size();) {
			if (bytes[i] == '\x1b') {
				if (i + 1 >= bytes.size() || bytes[i + 1] != '[')
					return ::testing::AssertionFailure() << "lone escape at " << i;
				size_t end = i + 2;
				while (end < bytes.size() && !(bytes[end] >= 0x40 && bytes[end] <= 0x7e))
					end++;
				if (end >= bytes.size())
					return ::testing::AssertionFailure() << "unfinished sequence at " << i;
				::testing::AssertionResult done = _Control(
					bytes.substr(i + 2, end - i - 2), bytes[end]);
				if (!done)
					return done;
				i = end + 1;
			} else if (bytes[i] == ' ') {
				_Put(fBackground, fBackground);
				i++;
			} else if (bytes.compare(i, 3, "\xe2\x96\x80") == 0) {
				_Put(fForeground, fBackground);
				i += 3;
			} else {
				return ::testing::AssertionFailure() << "unexpected byte "
					<< static_cast<int>(static_cast<unsigned char>(bytes[i])) << " at " << i;
			}
		}
		return ::testing::AssertionSuccess();
	}

	const Half& At(int32_t column, int32_t row) const
	{
		return fCells[static_cast<size_t>(row) * fColumns + column];
	}

	// Cells written by the latest Apply().
	int Written() const { return fWritten; }

private:
	void _Put(int64_t top, int64_t bottom)
	{
		if (fColumn >= fColumns) {
			fColumn = 0;
			fRow++;
		}
		ASSERT_GE(top, 0) << "no foreground set";
		ASSERT_GE(bottom, 0) << "no background set";
		ASSERT_LT(fRow, fRows) << "written below the screen";
		Half& cell = fCells[static_cast<size_t>(fRow) * fColumns + fColumn];
		cell.top = static_cast<Rgb>(top);
		cell.bottom = static_cast<Rgb>(bottom);
		fColumn++;
		fWritten++;
	}

	::testing::AssertionResult _Control(const std::string& parameters, char final)
	{
		std::vector<int> numbers;
		size_t start = 0;
		while (start <= parameters.size()) {
			size_t end = parameters.find(';', start);
			if (end == std::string::npos)
				end = parameters.size();
			numbers.push_back(end > start ? std::stoi(parameters.substr(start, end - start)) : 0);
			start = end + 1;
		}
		switch (final) {
			case 'H':
				fRow = std::max(numbers[0], 1) - 1;
				fColumn = numbers.size() > 1 ? std::max(numbers[1], 1) - 1 : 0;
				return ::testing::AssertionSuccess();
			case 'C':
				if (fColumn >= fColumns)
					return ::testing::AssertionFailure() << "stepped from the wrap position";
				fColumn = std::min(fColumn + std::max(numbers[0], 1), fColumns - 1);
				return ::testing::AssertionSuccess();
			case 'm':
				return _Colors(numbers);
		}
		return ::testing::AssertionFailure() << "unknown sequence " << parameters << final;
	}

	::testing::AssertionResult _Colors(const std::vector<int>& numbers)
	{
		for (size_t i = 0; i < numbers.size();) {
			int which = numbers[i];
			if (which != 38 && which != 48)
				return ::testing::AssertionFailure() << "unexpected SGR " << which;
			int64_t* target = which == 38 ? &fForeground : &fBackground;
			if (i + 1 < numbers.size() && numbers[i + 1] == 2 && i + 4 < numbers.size()) {
				if (fColors != TerminalColors::TrueColor)
					return ::testing::AssertionFailure() << "24-bit colour in 256-colour mode";
				*target = numbers[i + 2] << 16 | numbers[i + 3] << 8 | numbers[i + 4];
				i += 5;
			} else if (i + 2 < numbers.size() && numbers[i + 1] == 5) {
				if (fColors != TerminalColors::Palette256)
					return ::testing::AssertionFailure() << "palette colour in 24-bit mode";
				*target = numbers[i + 2];
				i += 3;
			} else {
				return ::testing::AssertionFailure() << "malformed colour";
			}
		}
		return ::testing::AssertionSuccess();
	}

	int32_t fColumns;
	int32_t fRows;
	TerminalColors fColors;
	std::vector<Half> fCells;
	int32_t fRow = 0;
	int32_t fColumn = 0;
	int64_t fForeground = -1;
	int64_t fBackground = -1;
	int fWritten = 0;
};


// Encodes one frame and applies it to the screen.
size_t
Show(TerminalPicture& encoder, const Picture& picture, Screen& screen)
{
	std::string bytes;
	size_t count = encoder.Encode(picture.View(), bytes);
	EXPECT_EQ(count, bytes.size());
	EXPECT_TRUE(screen.Apply(bytes));
	return count;
}


// The screen shows exactly what the picture, scaled into the layout, is.
void
ExpectScreenShows(const Screen& screen, const Picture& picture, const PictureLayout& layout,
	TerminalColors colors)
{
	std::vector<Rgb> scaled;
	AreaScaler().Scale(picture.View(), layout.width, layout.height, scaled);
	auto pixel = [&](int32_t x, int32_t y) -> uint32_t {
		Rgb colour = kBlack;
		if (x >= layout.left && x < layout.left + layout.width && y >= layout.top
				&& y < layout.top + layout.height) {
			colour = scaled[static_cast<size_t>(y - layout.top) * layout.width + x - layout.left];
		}
		return colors == TerminalColors::TrueColor ? colour : NearestPaletteIndex(colour);
	};
	for (int32_t row = 0; row < layout.rows; row++) {
		for (int32_t column = 0; column < layout.columns; column++) {
			const Screen::Half& cell = screen.At(column, row);
			ASSERT_EQ(cell.top, pixel(column, 2 * row)) << "cell " << column << "," << row;
			ASSERT_EQ(cell.bottom, pixel(column, 2 * row + 1)) << "cell " << column << "," << row;
		}
	}
}


// Glowing squares over a black field, two of them moving a pixel a frame.
Picture
Squares(int32_t width, int32_t height, int frame)
{
	Picture picture(width, height);
	for (int i = 0; i < 6; i++) {
		int step = i < 2 ? frame : 0;
		int32_t x = (i * 37 + step) % width;
		int32_t y = (i * 23 + step * i) % height;
		Rgb colour = static_cast<Rgb>((200 + i * 9) << 16 | (180 - i * 20) << 8 | (i * 40));
		picture.Fill(x, y, x + 7, y + 5, colour);
	}
	return picture;
}

}	// namespace


// #pragma mark - area averaging


TEST(AreaScaler, WeighsEachChannelsBrightestValueAsMuchAsTheBlocksMean)
{
	// 6 x 2 down to 3 x 1: each target pixel is half the mean of a 2 x 2
	// block and half its brightest value, each channel on its own, rounded
	// to nearest.
	Picture picture(6, 2);
	picture.Set(0, 0, 0x102030);
	picture.Set(1, 0, 0x102031);
	picture.Set(0, 1, 0x000000);
	picture.Set(1, 1, 0x080000);
	picture.Set(2, 0, 0xff0000);
	picture.Set(3, 0, 0x00ff00);
	picture.Set(2, 1, 0x0000ff);
	picture.Set(3, 1, 0x000000);
	// A lone bright pixel in a black block, as a small disc is in a cell,
	// keeps more than half its brightness rather than a quarter.
	picture.Set(5, 1, 0xffffff);
	std::vector<Rgb> out;
	AreaScaler().Scale(picture.View(), 3, 1, out);
	// Red: mean (16 + 16 + 0 + 8) / 4 = 10, brightest 16: 13. Green: 16 and
	// 32: 24. Blue: 24.25 and 49: 36.6. Then each channel of the second and
	// third: (63.75 + 255) / 2 = 159.4.
	EXPECT_EQ(out, (std::vector<Rgb>{0x0d1825, 0x9f9f9f, 0x9f9f9f}));
}


TEST(AreaScaler, CountsPartlyCoveredPixelsByTheirShare)
{
	// Three pixels to two: the first target pixel covers source 0 whole and
	// half of source 1, the second the other half and source 2. The mean
	// counts each by its share; the brightest value is that of any pixel
	// covered at all.
	Picture row(3, 1);
	row.Set(0, 0, 0x000000);
	row.Set(1, 0, 0x5a5a5a);	// 90
	row.Set(2, 0, 0xb4b4b4);	// 180
	std::vector<Rgb> out;
	AreaScaler().Scale(row.View(), 2, 1, out);
	// Means (0 + 45) / 1.5 = 30 and (45 + 180) / 1.5 = 150, brightest 90
	// and 180: 60 and 165.
	EXPECT_EQ(out, (std::vector<Rgb>{0x3c3c3c, 0xa5a5a5}));

	// The same along the other axis, and five to three in both at once:
	// the middle target pixel covers 1/3 of source 1, source 2 whole and
	// 1/3 of source 3 on each axis.
	Picture column(1, 3);
	column.Set(0, 0, 0x000000);
	column.Set(0, 1, 0x5a5a5a);
	column.Set(0, 2, 0xb4b4b4);
	AreaScaler().Scale(column.View(), 1, 2, out);
	EXPECT_EQ(out, (std::vector<Rgb>{0x3c3c3c, 0xa5a5a5}));

	Picture square(5, 5);
	square.Fill(2, 2, 3, 3, 0x0000ff);
	AreaScaler().Scale(square.View(), 3, 3, out);
	// The centre pixel's share of the middle target: 1 / (5/3)^2 = 9/25 of
	// 255 = 91.8, and (91.8 + 255) / 2 = 173.4; its corner neighbours get
	// none of it.
	EXPECT_EQ(out[4], 0x0000adu);
	EXPECT_EQ(out[0], 0u);
	EXPECT_EQ(out[8], 0u);
}


TEST(AreaScaler, KeepsAUniformPictureExactAtAnyRatio)
{
	// Weights that do not add up to the covered area show as a colour that
	// drifts from the source's, somewhere.
	const Size sizes[][2] = {
		{{641, 479}, {100, 75}}, {{1920, 1080}, {100, 56}}, {{7, 3}, {5, 2}},
		{{3, 2}, {7, 5}}, {{1, 1}, {9, 4}}, {{16384, 1}, {3, 1}}};
	for (const auto& [source, target] : sizes) {
		Picture picture(source.width, source.height, 8);
		picture.Fill(0, 0, source.width, source.height, 0x25c905);
		// Padding past each row's end is not picture.
		for (int32_t y = 0; y < source.height; y++)
			std::memset(picture.bits.data() + y * picture.bytesPerRow + source.width * 4, 0xff, 8);
		std::vector<Rgb> out;
		AreaScaler().Scale(picture.View(), target.width, target.height, out);
		ASSERT_EQ(out.size(), static_cast<size_t>(target.width) * target.height);
		EXPECT_EQ(std::count(out.begin(), out.end(), 0x25c905u),
			static_cast<std::ptrdiff_t>(out.size()))
			<< source.width << "x" << source.height << " to " << target.width << "x"
			<< target.height;
	}
}


TEST(AreaScaler, UpscalesWithoutLosingThePicture)
{
	// Two pixels to five: whole target pixels take one source colour, the
	// middle one straddles both: half each as the mean, all of each as the
	// brightest.
	Picture picture(2, 1);
	picture.Set(0, 0, 0xc80000);
	picture.Set(1, 0, 0x000064);
	std::vector<Rgb> out;
	AreaScaler().Scale(picture.View(), 5, 1, out);
	EXPECT_EQ(out, (std::vector<Rgb>{0xc80000, 0xc80000, 0x96004b, 0x000064, 0x000064}));
}


// #pragma mark - layout


TEST(FitPicture, KeepsTheAspectRatioCentredInHalfCellPixels)
{
	// 640 x 480 in 100 x 40 cells (100 x 80 pixels): full width, 75 high,
	// centred with two rows of black above.
	PictureLayout wide = FitPicture(Size{640, 480}, 100, 40);
	EXPECT_EQ(wide.width, 100);
	EXPECT_EQ(wide.height, 75);
	EXPECT_EQ(wide.left, 0);
	EXPECT_EQ(wide.top, 2);

	// A tall picture: full height, bars on both sides.
	PictureLayout tall = FitPicture(Size{100, 400}, 100, 40);
	EXPECT_EQ(tall.height, 80);
	EXPECT_EQ(tall.width, 20);
	EXPECT_EQ(tall.left, 40);
	EXPECT_EQ(tall.top, 0);

	// Extreme shapes still get a pixel; no room gets no picture.
	EXPECT_EQ(FitPicture(Size{16384, 1}, 80, 24).height, 1);
	PictureLayout none = FitPicture(Size{640, 480}, 80, 0);
	EXPECT_EQ(none.width, 0);
	EXPECT_EQ(none.height, 0);
}


// #pragma mark - palette


TEST(Palette, MapsPureColoursAndGreysToTheirEntries)
{
	EXPECT_EQ(NearestPaletteIndex(0x000000), 16);
	EXPECT_EQ(NearestPaletteIndex(0xffffff), 231);
	EXPECT_EQ(NearestPaletteIndex(0xff0000), 196);
	EXPECT_EQ(NearestPaletteIndex(0x00ff00), 46);
	EXPECT_EQ(NearestPaletteIndex(0x0000ff), 21);
	EXPECT_EQ(NearestPaletteIndex(0xffff00), 226);
	// Greys between the cube's go to the ramp; the cube's own stay there.
	EXPECT_EQ(NearestPaletteIndex(0x808080), 244);
	EXPECT_EQ(NearestPaletteIndex(0x080808), 232);
	EXPECT_EQ(NearestPaletteIndex(0xeeeeee), 255);
	EXPECT_EQ(NearestPaletteIndex(0x5f5f5f), 59);
	EXPECT_EQ(PaletteColour(196), 0xff0000u);
	EXPECT_EQ(PaletteColour(244), 0x808080u);
}


TEST(Palette, PicksAnEntryNoFartherThanAnyOther)
{
	auto distance = [](Rgb a, Rgb b) {
		int dr = static_cast<int>(a >> 16) - static_cast<int>(b >> 16);
		int dg = static_cast<int>(a >> 8 & 0xff) - static_cast<int>(b >> 8 & 0xff);
		int db = static_cast<int>(a & 0xff) - static_cast<int>(b & 0xff);
		return dr * dr + dg * dg + db * db;
	};
	for (uint32_t red = 0; red < 256; red += 15) {
		for (uint32_t green = 0; green < 256; green += 17) {
			for (uint32_t blue = 0; blue < 256; blue += 13) {
				Rgb colour = red << 16 | green << 8 | blue;
				int chosen = distance(colour, PaletteColour(NearestPaletteIndex(colour)));
				int best = chosen;
				for (int index = 16; index < 256; index++)
					best = std::min(best, distance(colour, PaletteColour(static_cast<uint8_t>(index))));
				ASSERT_EQ(chosen, best) << std::hex << colour;
			}
		}
	}
}


// #pragma mark - frames


TEST(TerminalPicture, DrawsTwoPixelsACellWithTheTopAsForeground)
{
	// A 2 x 2 picture on 2 x 1 cells: no scaling, no bars.
	Picture picture(2, 2);
	picture.Set(0, 0, kRed);
	picture.Set(0, 1, kBlue);
	picture.Set(1, 0, kGreen);
	picture.Set(1, 1, kGreen);
	TerminalPicture encoder(TerminalColors::TrueColor);
	encoder.SetArea(2, 1);
	std::string bytes;
	encoder.Encode(picture.View(), bytes);
	// The two-colour cell is a half block; the one-colour cell a space in
	// its background.
	EXPECT_NE(bytes.find("\x1b[38;2;255;0;0;48;2;0;0;255m\xe2\x96\x80"), std::string::npos) << bytes;
	EXPECT_NE(bytes.find("\x1b[48;2;0;255;0m "), std::string::npos) << bytes;

	Screen screen(2, 1, TerminalColors::TrueColor);
	ASSERT_TRUE(screen.Apply(bytes));
	EXPECT_EQ(screen.At(0, 0).top, kRed);
	EXPECT_EQ(screen.At(0, 0).bottom, kBlue);
	EXPECT_EQ(screen.At(1, 0).top, kGreen);
	EXPECT_EQ(screen.At(1, 0).bottom, kGreen);
}


TEST(TerminalPicture, FirstFrameFillsEveryCellLetterboxIncluded)
{
	for (TerminalColors colors : {TerminalColors::TrueColor, TerminalColors::Palette256}) {
		TerminalPicture encoder(colors);
		encoder.SetArea(30, 10);
		Picture picture = Squares(320, 240, 0);
		Screen screen(30, 10, colors);
		Show(encoder, picture, screen);
		EXPECT_EQ(screen.Written(), 300);
		ExpectScreenShows(screen, picture, encoder.Layout(), colors);
		// 320 x 240 in 30 x 20 pixels: 27 wide, bars of black at the sides
		// that the terminal's own background colour does not stand in for.
		EXPECT_EQ(encoder.Layout().width, 27);
		Rgb black = colors == TerminalColors::TrueColor ? 0 : 16;
		EXPECT_EQ(screen.At(0, 5).top, black);
		EXPECT_EQ(screen.At(29, 5).bottom, black);
	}
}


TEST(TerminalPicture, LaterFramesSendOnlyWhatChanged)
{
	// Frame after frame, what the terminal shows is the frame, whatever
	// was skipped, stepped over or rewritten on the way.
	for (TerminalColors colors : {TerminalColors::TrueColor, TerminalColors::Palette256}) {
		TerminalPicture encoder(colors);
		encoder.SetArea(40, 12);
		Screen screen(40, 12, colors);
		size_t full = Show(encoder, Squares(200, 110, 0), screen);
		size_t changes = 0;
		for (int frame = 1; frame < 40; frame++) {
			Picture picture = Squares(200, 110, frame);
			changes += Show(encoder, picture, screen);
			ExpectScreenShows(screen, picture, encoder.Layout(), colors);
			ASSERT_FALSE(::testing::Test::HasFailure()) << "frame " << frame;
		}
		EXPECT_LT(changes / 39, full / 2);

		// The same frame again sends nothing at all.
		Picture still = Squares(200, 110, 39);
		EXPECT_EQ(Show(encoder, still, screen), 0u);
	}
}


TEST(TerminalPicture, OnePixelChangedRewritesOneCell)
{
	// One pixel a half cell, so that a pixel is a cell's top or bottom.
	TerminalPicture encoder(TerminalColors::TrueColor);
	encoder.SetArea(20, 5);
	Picture picture(20, 10);
	picture.Fill(0, 0, 20, 10, 0x203040);
	Screen screen(20, 5, TerminalColors::TrueColor);
	Show(encoder, picture, screen);

	picture.Set(13, 7, 0xffe0a0);
	Show(encoder, picture, screen);
	EXPECT_EQ(screen.Written(), 1);
	EXPECT_EQ(screen.At(13, 3).top, 0x203040u);
	EXPECT_EQ(screen.At(13, 3).bottom, 0xffe0a0u);
}


TEST(TerminalPicture, ColoursInEffectAreNotSentAgainNorUnchangedCells)
{
	// A row of one colour: one colour change, then only spaces.
	TerminalPicture encoder(TerminalColors::TrueColor);
	encoder.SetArea(12, 1);
	Picture red(12, 2);
	red.Fill(0, 0, 12, 2, kRed);
	Screen screen(12, 1, TerminalColors::TrueColor);
	std::string bytes;
	encoder.Encode(red.View(), bytes);
	EXPECT_EQ(bytes, "\x1b[H\x1b[48;2;255;0;0m            ");
	ASSERT_TRUE(screen.Apply(bytes));

	// Three cells change along the row: one cursor position, one colour
	// change, and the unchanged cells between them stepped over or, where
	// that is shorter, written again.
	red.Set(2, 0, kBlue);
	red.Set(4, 0, kBlue);
	red.Set(10, 0, kBlue);
	bytes.clear();
	encoder.Encode(red.View(), bytes);
	EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 'H'), 1) << bytes;
	EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 'm'), 1) << bytes;
	EXPECT_LT(bytes.size(), 40u) << bytes;
	ASSERT_TRUE(screen.Apply(bytes));
	EXPECT_LE(screen.Written(), 4);
	for (int32_t column = 0; column < 12; column++) {
		bool blue = column == 2 || column == 4 || column == 10;
		EXPECT_EQ(screen.At(column, 0).top, blue ? kBlue : kRed) << column;
		EXPECT_EQ(screen.At(column, 0).bottom, kRed) << column;
	}
}


TEST(TerminalPicture, ANewSizeOrInvalidateRepaintsEverything)
{
	TerminalPicture encoder(TerminalColors::Palette256);
	encoder.SetArea(40, 12);
	Picture picture = Squares(200, 110, 3);
	Screen before(40, 12, TerminalColors::Palette256);
	Show(encoder, picture, before);

	// Resized: every cell of the new size, the picture fitted anew.
	encoder.SetArea(25, 20);
	Screen after(25, 20, TerminalColors::Palette256);
	Show(encoder, picture, after);
	EXPECT_EQ(after.Written(), 25 * 20);
	ExpectScreenShows(after, picture, encoder.Layout(), TerminalColors::Palette256);
	EXPECT_EQ(encoder.Layout().width, 25);

	// Someone else wrote over it: the same frame is sent whole again.
	encoder.Invalidate();
	Screen again(25, 20, TerminalColors::Palette256);
	Show(encoder, picture, again);
	EXPECT_EQ(again.Written(), 25 * 20);
	ExpectScreenShows(again, picture, encoder.Layout(), TerminalColors::Palette256);
}


TEST(TerminalPicture, AfterOthersMovedTheCursorItPositionsAgain)
{
	TerminalPicture encoder(TerminalColors::TrueColor);
	encoder.SetArea(20, 5);
	Picture picture(20, 10);
	Screen screen(20, 5, TerminalColors::TrueColor);
	Show(encoder, picture, screen);

	// A status line was written elsewhere with other colours.
	encoder.ForgetCursor();
	ASSERT_TRUE(screen.Apply("\x1b[7;1H\x1b[48;2;1;2;3m"));
	picture.Set(0, 0, kGreen);
	std::string bytes;
	encoder.Encode(picture.View(), bytes);
	EXPECT_EQ(bytes.rfind("\x1b[H", 0), 0u) << bytes;
	ASSERT_TRUE(screen.Apply(bytes));
	EXPECT_EQ(screen.At(0, 0).top, kGreen);
	EXPECT_EQ(screen.At(0, 0).bottom, kBlack);
}


// #pragma mark - text


// Frames presented by a saver, with the damage the present notes, make the
// same bytes as the same frames taken whole: the cells worked out again are
// all the cells that changed, whether a cell covers many pixels or a pixel
// many cells.
TEST(TerminalPicture, DamagedFramesSendWhatWholeFramesSend)
{
	struct Case {
		Size frame;
		int32_t columns;
		int32_t rows;
	};
	for (const Case& c : {Case{{333, 217}, 61, 23}, Case{{640, 480}, 100, 40},
			Case{{50, 30}, 120, 40}}) {
		for (TerminalColors colors : {TerminalColors::TrueColor, TerminalColors::Palette256}) {
			SCOPED_TRACE(SizeText(c.frame) + " in " + std::to_string(c.columns) + "x"
				+ std::to_string(c.rows));
			BBitmap canvas(BRect(0, 0, c.frame.width - 1, c.frame.height - 1), B_RGB32);
			for (int32_t y = 0; y < c.frame.height; y++)
				memset((uint8_t*)canvas.Bits() + y * canvas.BytesPerRow(), 0, c.frame.width * 4);
			Result<std::unique_ptr<Surface>> surface = Surface::Create(c.frame, "saver");
			ASSERT_TRUE(surface);
			TerminalPicture whole(colors);
			TerminalPicture damaged(colors);
			whole.SetArea(c.columns, c.rows);
			damaged.SetArea(c.columns, c.rows);

			// Ten squares of 13 pixels that move and change colour, erased
			// and drawn again each frame, some of them across the edges.
			uint32_t state = 12345;
			auto next = [&state] {
				state = state * 1103515245u + 12345u;
				return state >> 8;
			};
			std::vector<PixelRect> squares(10);
			for (int frame = 0; frame < 40; frame++) {
				for (PixelRect& square : squares) {
					for (int pass = 0; pass < 2; pass++) {
						uint32_t colour = pass == 0 ? 0 : next();
						if (pass == 1) {
							square = PixelRect{static_cast<int32_t>(next() % (c.frame.width + 12))
								- 6, static_cast<int32_t>(next() % (c.frame.height + 12)) - 6, 13,
								13};
						}
						for (int32_t y = std::max(square.y, 0);
								y < std::min(square.y + 13, c.frame.height); y++) {
							for (int32_t x = std::max(square.x, 0);
									x < std::min(square.x + 13, c.frame.width); x++) {
								uint8_t* pixel = (uint8_t*)canvas.Bits()
									+ y * canvas.BytesPerRow() + x * 4;
								memcpy(pixel, &colour, 3);
							}
						}
					}
				}
				surface.Value()->View()->DrawBitmap(&canvas);
				const Damage& damage = surface.Value()->TakeDamage();
				EXPECT_EQ(damage.Whole(), frame == 0);

				std::string wholeBytes;
				std::string damagedBytes;
				whole.Encode(surface.Value()->Pixels(), wholeBytes);
				damaged.Encode(surface.Value()->Pixels(), damage, damagedBytes);
				ASSERT_EQ(wholeBytes, damagedBytes) << "frame " << frame;
			}
		}
	}
}


TEST(TerminalText, KeepsControlsAndBrokenUtf8OffTheTerminal)
{
	// Escape sequences, C1 controls (U+009B is a one-character CSI) and DEL
	// would act on the terminal instead of showing.
	EXPECT_EQ(TerminalText("a\x1b[2Jb\x07\r\n\x7f", 20), "a?[2Jb????");
	EXPECT_EQ(TerminalText("x\xc2\x9b" "31m", 20), "x?31m");
	// Truncated, overlong and stray continuation bytes.
	EXPECT_EQ(TerminalText("\xe2\x96", 20), "??");
	EXPECT_EQ(TerminalText("\xc0\xaf.", 20), "?" "?.");
	EXPECT_EQ(TerminalText("\xe0\x80\xaf", 20), "???");
	// Proper UTF-8 stays, and the limit counts characters, not bytes.
	EXPECT_EQ(TerminalText("gr\xc3\xbc\xc3\x9f dich", 4), "gr\xc3\xbc\xc3\x9f");
	EXPECT_EQ(TerminalText("\xe2\x96\x80\xf0\x9f\x8c\x9f", 5), "\xe2\x96\x80\xf0\x9f\x8c\x9f");
	EXPECT_EQ(TerminalText("anything", 0), "");
}
