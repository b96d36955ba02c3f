// The mote field over long runs: every mote stays finite and no frame writes
// outside the canvas (the padding after every row, and the guard after the
// last, keep their canary), on a full screen and on canvases so small or so
// thin that the motes pile up on each other and on the walls.
#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>

#include <vector>

#include "BitmapGuard.h"
#include "FrameStep.h"
#include "MoteSeeding.h"
#include "TestCanvas.h"


namespace {

// The first frame after which something is wrong, or 0.
int
FirstBadFrame(int32 width, int32 height, unsigned seed, int frames)
{
	srand(seed);
	unsigned short state[3] = { (unsigned short)seed, 0x5eed, 0x1234 };
	seed48(state);

	TestCanvas image(width, height);
	std::vector<Mote> motes(kMoteCount);
	SeedMotes(motes.data(), width, height);

	for (int frame = 1; frame <= frames; frame++) {
		StepFrame(motes.data(), image.canvas());
		if (!BPrivate::BitmapGuard::Intact(&image.bitmap())) {
			ADD_FAILURE() << width << "x" << height << " seed " << seed
				<< ": written outside the canvas in frame " << frame;
			return frame;
		}
		for (const Mote& mote : motes) {
			const float* field = &mote.x;
			for (size_t i = 0; i < sizeof(Mote) / sizeof(float); i++) {
				if (!isfinite(field[i])) {
					ADD_FAILURE() << width << "x" << height << " seed " << seed
						<< ": field " << i << " of a mote is " << field[i]
						<< " after frame " << frame;
					return frame;
				}
			}
		}
	}
	return 0;
}

}	// namespace


TEST(FieldSoak, FullScreenStaysFiniteAndInsideTheCanvas)
{
	for (unsigned seed : {1u, 1000000000u})
		EXPECT_EQ(0, FirstBadFrame(640, 480, seed, 4000));
}


TEST(FieldSoak, CrowdedAndThinCanvasesStayFiniteAndInsideTheCanvas)
{
	// On the smallest canvases every mote sits on every other: coincident
	// pairs, walls on both sides of every disc, glow cycles back to back.
	struct Case { int32 width; int32 height; unsigned seed; };
	const Case cases[] = { {1, 1, 3}, {2, 3, 77}, {7, 5, 5}, {1, 900, 11}, {900, 1, 13},
		{13, 2000, 17} };
	for (const Case& c : cases)
		EXPECT_EQ(0, FirstBadFrame(c.width, c.height, c.seed, 2500));
}
