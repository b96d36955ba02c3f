// The pictures in the terminal's own pixels (sixel, kitty), read back through
// a small terminal of each kind that keeps a grid of pixels; and the
// terminal's answers to the questions asked on starting.
#include <gtest/gtest.h>

#include <sixel.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "outputs/terminal/KittyPicture.h"
#include "outputs/terminal/SixelPicture.h"
#include "outputs/terminal/TerminalProbe.h"

namespace {

// Soft discs drifting over black on a 96x72 B_RGB32 frame; each step's
// damage is a box around where each disc was and is.
struct DriftingDiscs {
	std::vector<uint8_t> bits = std::vector<uint8_t>(96 * 72 * 4, 0);
	int at[5][2] = {};

	PixelView View() const { return PixelView{bits.data(), 96 * 4, 96, 72}; }

	// A disc of the hue centred at x, y; black for hue 0.
	void Disc(int cx, int cy, int hue)
	{
		for (int y = std::max(cy - 6, 0); y <= std::min(cy + 6, 71); y++) {
			for (int x = std::max(cx - 6, 0); x <= std::min(cx + 6, 95); x++) {
				int distance = (x - cx) * (x - cx) + (y - cy) * (y - cy);
				int glow = hue == 0 ? 0 : std::max(0, 255 - 40 * distance / 9);
				uint8_t* pixel = &bits[static_cast<size_t>(y * 96 + x) * 4];
				pixel[kRedByte] = static_cast<uint8_t>(glow);
				pixel[kGreenByte] = static_cast<uint8_t>(glow * hue / 255);
				pixel[kBlueByte] = static_cast<uint8_t>(glow / 4);
			}
		}
	}

	Damage Step(int step)
	{
		std::vector<PixelRect> rects;
		for (int disc = 0; disc < 5; disc++) {
			int x = (disc * 23 + step * (disc + 1)) % 96;
			int y = (disc * 17 + step * 2) % 72;
			Disc(at[disc][0], at[disc][1], 0);
			Disc(x, y, 50 + disc * 40);
			int left = std::max(std::min(x, at[disc][0]) - 6, 0);
			int top = std::max(std::min(y, at[disc][1]) - 6, 0);
			rects.push_back(PixelRect{left, top, std::min(std::max(x, at[disc][0]) + 7, 96) - left,
				std::min(std::max(y, at[disc][1]) + 7, 72) - top});
			at[disc][0] = x;
			at[disc][1] = y;
		}
		return Damage(rects);
	}
};


std::vector<uint8_t>
FromBase64(const std::string& text)
{
	static const std::string kDigits =
		"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
	std::vector<uint8_t> bytes;
	uint32_t group = 0;
	int bits = 0;
	for (size_t i = 0; i < text.size() && text[i] != '='; i++) {
		group = group << 6 | static_cast<uint32_t>(kDigits.find(text[i]));
		if ((bits += 6) >= 8)
			bytes.push_back(static_cast<uint8_t>(group >> (bits -= 8)));
	}
	return bytes;
}


// A terminal of the area's pixels that takes cursor moves, sixel images at
// the cursor and kitty's image commands, and ignores everything else.
struct PixelTerminal {
	TerminalArea area;
	std::vector<uint8_t> rgb = std::vector<uint8_t>(area.PixelWidth() * area.PixelHeight() * 3);
	int row = 0;
	int column = 0;
	std::string keys;
	std::string data;
	// The lowest row erased, where the whole screen counts as below all.
	int lowestErased = -1;

	explicit PixelTerminal(TerminalArea area) : area(area) {}

	void Put(const uint8_t* pixels, int x, int y, int width, int height)
	{
		for (int j = 0; j < height && y + j < area.PixelHeight(); j++) {
			std::copy_n(pixels + j * width * 3, std::min(width, area.PixelWidth() - x) * 3,
				&rgb[static_cast<size_t>((y + j) * area.PixelWidth() + x) * 3]);
		}
	}

	int Key(const std::string& name) const
	{
		size_t at = ("," + keys).find("," + name + "=");
		return at == std::string::npos ? 0 : std::atoi(&keys[at + name.size() + 1]);
	}

	void Sixel(std::string sequence)
	{
		unsigned char* indices = nullptr;
		unsigned char* palette = nullptr;
		int width = 0, height = 0, colors = 0;
		ASSERT_EQ(sixel_decode_raw(reinterpret_cast<unsigned char*>(sequence.data()),
			static_cast<int>(sequence.size()), &indices, &width, &height, &palette, &colors,
			nullptr), SIXEL_OK);
		std::vector<uint8_t> pixels;
		for (int i = 0; i < width * height; i++)
			pixels.insert(pixels.end(), palette + indices[i] * 3, palette + indices[i] * 3 + 3);
		Put(pixels.data(), column * area.cellWidth, row * area.cellHeight, width, height);
		free(indices);
		free(palette);
	}

	// A command, or a piece of one (m=1) that the next ones go on.
	void Kitty(const std::string& command)
	{
		size_t semicolon = command.find(';');
		if (keys.empty())
			keys = command.substr(0, semicolon);
		data += command.substr(semicolon + 1);
		if (command.substr(0, semicolon).find("m=1") != std::string::npos)
			return;
		std::vector<uint8_t> bytes = FromBase64(data);
		std::vector<uint8_t> pixels(static_cast<size_t>(Key("s") * Key("v")) * 3);
		uLongf size = pixels.size();
		if (keys.find("o=z") == std::string::npos)
			pixels = bytes;
		else
			ASSERT_EQ(uncompress(pixels.data(), &size, bytes.data(), bytes.size()), Z_OK);
		ASSERT_EQ(pixels.size(), static_cast<size_t>(Key("s") * Key("v")) * 3) << keys;
		Put(pixels.data(), Key("x"), Key("y"), Key("s"), Key("v"));
		keys.clear();
		data.clear();
	}

	void Feed(const std::string& bytes)
	{
		for (size_t at = bytes.find('\x1b'); at != std::string::npos;
				at = bytes.find('\x1b', at + 1)) {
			char kind = bytes[at + 1];
			size_t end = kind == '[' ? bytes.find_first_not_of("0123456789;?", at + 2)
				: bytes.find("\x1b\\", at);
			ASSERT_NE(end, std::string::npos);
			if (kind == '[' && bytes[end] == 'H') {
				row = column = 1;
				std::sscanf(bytes.c_str() + at, "\x1b[%d;%dH", &row, &column);
				row--;
				column--;
			} else if (kind == '[' && bytes[end] == 'K') {
				lowestErased = std::max(lowestErased, row);
			} else if (kind == '[' && bytes[end] == 'J') {
				lowestErased = INT32_MAX;
			} else if (kind == 'P') {
				Sixel(bytes.substr(at, end + 2 - at));
			} else if (kind == '_') {
				Kitty(bytes.substr(at + 3, end - at - 3));
			}
			at = kind == '[' ? end : end + 1;
		}
	}
};


// A run of drifting discs, each frame sent as what changed: the terminal
// ends showing the last frame as the picture has it whole, within the
// colours' bins; a frame sends less than a repaint of it.
void
ExpectRunShownWhole(TerminalPainter& picture, int tolerance)
{
	TerminalArea area{23, 9, 7, 13};
	PixelTerminal terminal(area);
	DriftingDiscs discs;
	picture.SetArea(area);
	size_t later = 0;
	for (int step = 0; step < 30; step++) {
		Damage damage = discs.Step(step);
		std::string out;
		later += picture.Encode(discs.View(), step == 0 ? Damage() : damage, out) * (step > 0);
		ASSERT_NO_FATAL_FAILURE(terminal.Feed(out));
	}

	ScaledFrame whole;
	std::vector<PixelRect> changed;
	whole.Update(discs.View(), Damage(), Size{area.PixelWidth(), area.PixelHeight()}, changed);
	std::vector<uint8_t> expected(terminal.rgb.size());
	whole.CopyRgb(changed.front(), expected.data());
	for (size_t i = 0; i < expected.size(); i++)
		ASSERT_LE(std::abs(expected[i] - terminal.rgb[i]), tolerance) << "at byte " << i;

	std::string repaint;
	picture.Invalidate();
	EXPECT_LT(later / 29, picture.Encode(discs.View(), Damage(), repaint));
}

}	// namespace


TEST(PixelPicture, SixelShowsTheLastFrameWithinItsColourBins)
{
	SixelPicture picture(SixelTerminal{256, Size{}, false});
	ExpectRunShownWhole(picture, 7);
}


// The status line under the picture stays when it repaints whole.
TEST(PixelPicture, SixelBlacksOutItsOwnRowsOnly)
{
	SixelPicture picture(SixelTerminal{256, Size{}, false});
	TerminalArea area{23, 9, 7, 13};
	PixelTerminal terminal(area);
	DriftingDiscs discs;
	picture.SetArea(area);
	std::string out;
	picture.Encode(discs.View(), Damage(), out);
	ASSERT_NO_FATAL_FAILURE(terminal.Feed(out));
	EXPECT_EQ(terminal.lowestErased, area.rows - 1);
}


TEST(PixelPicture, KittyShowsTheLastFrameExactly)
{
	KittyPicture picture;
	ExpectRunShownWhole(picture, 0);
}


// Answers in pieces, around keys typed meanwhile, which are kept in order.
TEST(TerminalProbe, ReadsAnswersAndKeepsTheKeysAround)
{
	std::string stream = "\x1b_Gi=31;OK\x1b\\x\x1b[?1;0;256S\x1b[?2;0;1000;900S"
		"\x1bP>|XTerm(379)\x1b\\\x1b[4;600;800t\x1b[A\x1b[?62;4;22cq\x1b";
	AnswerReader reader;
	for (char byte : stream)
		reader.Feed(&byte, 1);
	const TerminalAnswers& answers = reader.Answers();
	EXPECT_TRUE(answers.answered && answers.sixel && answers.kitty);
	EXPECT_EQ(answers.colorRegisters, 256);
	EXPECT_TRUE(SameSize(answers.pixels, Size{800, 600}));
	EXPECT_TRUE(SameSize(answers.largestImage, Size{1000, 900}));
	EXPECT_EQ(answers.version, "XTerm(379)");
	EXPECT_EQ(reader.TakeKeys(), "x\x1b[Aq\x1b");

	// A refusal is no answer, nor a key.
	AnswerReader plain;
	std::string refusal = "\x1b_Gi=31;ENOTSUPPORTED:no\x1b\\\x1b[?62;22c";
	plain.Feed(refusal.data(), refusal.size());
	EXPECT_TRUE(plain.Answers().answered && !plain.Answers().sixel && !plain.Answers().kitty);
	EXPECT_EQ(plain.TakeKeys(), "");
}
