// The mote discs: footprint, fall-off, glow, clipping, erasing.
#include <gtest/gtest.h>

#include <math.h>

#include "MoteDisc.h"
#include "TestCanvas.h"


namespace {

Mote
MoteAt(float x, float y, float glow = 0)
{
	Mote mote = {};
	mote.x = x;
	mote.y = y;
	mote.glow = glow;
	return mote;
}

}	// namespace


TEST(MoteDisc, CoversTheWindowBarItsTwelveOuterPixels)
{
	TestCanvas image(40, 40);
	DrawDisc(image.canvas(), MoteAt(20.9f, 20.2f));
	EXPECT_EQ(109, image.CountLit());

	// Centred on the truncated position; the corners and the pixels next to
	// them along the window's edge are out.
	EXPECT_EQ(250, image.At(20, 20).red);
	const int out[][2] = { {5, 5}, {5, 4}, {4, 5}, {-5, -5}, {-5, 4}, {-4, -5} };
	for (const auto& offset : out)
		EXPECT_EQ((Rgb{0, 0, 0}), image.At(20 + offset[0], 20 + offset[1]));
	EXPECT_NE((Rgb{0, 0, 0}), image.At(20 + 5, 20 + 3));
	EXPECT_NE((Rgb{0, 0, 0}), image.At(20 + 4, 20 + 4));
}


TEST(MoteDisc, FallsOffLinearlyFromTheCentre)
{
	TestCanvas image(40, 40);
	DrawDisc(image.canvas(), MoteAt(20, 20));
	struct Case { int dx; int dy; int white; };
	// By squared distance: 0, 1, 2, 25, 34, 36.
	const Case cases[] = { {0, 0, 250}, {1, 0, 208}, {-1, 1, 191}, {0, -5, 41},
		{5, 3, 7}, {-3, -5, 7} };
	for (const Case& c : cases) {
		EXPECT_EQ((Rgb{c.white, c.white, 0}), image.At(20 + c.dx, 20 + c.dy))
			<< c.dx << ", " << c.dy;
	}
}


TEST(MoteDisc, TurnsWhiteWithGlow)
{
	TestCanvas image(40, 40);
	DrawDisc(image.canvas(), MoteAt(20, 20, 0.91f));
	EXPECT_EQ((Rgb{250, 250, 227}), image.At(20, 20));
	// Blue falls off from the glow level as red and green do from 250.
	EXPECT_EQ((Rgb{208, 208, 189}), image.At(21, 20));
	EXPECT_EQ((Rgb{41, 41, 37}), image.At(20, 25));
}


TEST(MoteDisc, OverlappingDiscsAddAndSaturate)
{
	TestCanvas image(40, 40);
	DrawDisc(image.canvas(), MoteAt(20.5f, 20, 0.5f));
	DrawDisc(image.canvas(), MoteAt(20.1f, 20.7f, 0.5f));
	EXPECT_EQ((Rgb{255, 255, 250}), image.At(20, 20));
	EXPECT_EQ((Rgb{255, 255, 208}), image.At(21, 20));
	EXPECT_EQ(109, image.CountLit());
}


TEST(MoteDisc, IsClippedAtTheCanvasEdges)
{
	TestCanvas corner(40, 40);
	DrawDisc(corner.canvas(), MoteAt(0, 0));
	EXPECT_EQ(33, corner.CountLit());

	// Centred on column 0: the left half of the disc falls off the canvas.
	TestCanvas left(40, 40);
	DrawDisc(left.canvas(), MoteAt(-0.5f, 20));
	EXPECT_EQ((Rgb{250, 250, 0}), left.At(0, 20));
	EXPECT_EQ((Rgb{41, 41, 0}), left.At(5, 20));
	EXPECT_EQ(60, left.CountLit());

	// On the far wall only the left part of the disc shows.
	TestCanvas right(40, 40);
	DrawDisc(right.canvas(), MoteAt(40, 20));
	EXPECT_EQ((Rgb{208, 208, 0}), right.At(39, 20));
	EXPECT_EQ(109 - 60, right.CountLit());
}


TEST(MoteDisc, FarOutsideOrNotANumberDrawsNothing)
{
	const float far[] = { -6, 46, 1e10f, -1e10f, 3e38f, NAN, INFINITY, -INFINITY };
	for (float where : far) {
		TestCanvas image(40, 40);
		std::vector<uint8> before = image.AllBytes();
		DrawDisc(image.canvas(), MoteAt(where, 20, 0.5f));
		DrawDisc(image.canvas(), MoteAt(20, where, 0.5f));
		EraseDisc(image.canvas(), MoteAt(where, where));
		EXPECT_EQ(before, image.AllBytes()) << where;
	}

	// Just inside that range the outermost column of the disc still lands.
	TestCanvas image(40, 40);
	DrawDisc(image.canvas(), MoteAt(-5.9f, 20));
	EXPECT_EQ(7, image.CountLit());
	DrawDisc(image.canvas(), MoteAt(44.9f, 20));
	EXPECT_EQ(14, image.CountLit());
}


TEST(MoteDisc, EraseBlacksOutTheFootprintOnly)
{
	TestCanvas image(40, 40);
	for (int y = 0; y < 40; y++) {
		for (int x = 0; x < 40; x++)
			image.canvas().SetPixel(x, y, 9, 9, 9);
	}
	EraseDisc(image.canvas(), MoteAt(20.7f, 20.3f));
	EXPECT_EQ(40 * 40 - 109, image.CountLit());
	EXPECT_EQ((Rgb{0, 0, 0}), image.At(20, 20));
	EXPECT_EQ((Rgb{9, 9, 9}), image.At(25, 25));
	EXPECT_EQ((Rgb{0, 0, 0}), image.At(25, 23));
}
