// The frame step: erase first, then each mote in index order, in place.
#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "FrameStep.h"
#include "MoteDisc.h"
#include "MoteMotion.h"
#include "MoteSeeding.h"
#include "TestCanvas.h"


namespace {

std::vector<Mote>
SeededField(int32 width, int32 height, unsigned seed)
{
	std::vector<Mote> motes(kMoteCount);
	srand(seed);
	SeedMotes(motes.data(), width, height);
	return motes;
}

}	// namespace


TEST(FrameStep, GathersMoteZerosForcesAgainstLastFramesField)
{
	std::vector<Mote> before = SeededField(320, 240, 17);
	std::vector<Mote> after = before;
	TestCanvas image(320, 240);
	StepFrame(after.data(), image.canvas());

	// Mote 0 moved first, and saw every other mote as the last frame left it.
	std::vector<Mote> seen = before;
	seen[0] = after[0];
	seen[0].forceX = seen[0].forceY = 0;
	GatherForces(seen.data(), 0);
	EXPECT_EQ(after[0].forceX, seen[0].forceX);
	EXPECT_EQ(after[0].forceY, seen[0].forceY);

	// Mote 71 moved last, and saw every other mote as this frame left it.
	// Its own reach and weight are those before its glow step.
	std::vector<Mote> last = after;
	last[71].forceX = last[71].forceY = 0;
	last[71].reach = before[71].reach;
	last[71].weight = before[71].weight;
	GatherForces(last.data(), 71);
	EXPECT_EQ(after[71].forceX, last[71].forceX);
	EXPECT_EQ(after[71].forceY, last[71].forceY);

	// And the order makes a difference: against last frame's field mote 71
	// would have gathered something else.
	std::vector<Mote> stale = before;
	stale[71] = last[71];
	stale[71].forceX = stale[71].forceY = 0;
	GatherForces(stale.data(), 71);
	EXPECT_NE(after[71].forceX, stale[71].forceX);
}


TEST(FrameStep, ShowsExactlyTheNewDiscs)
{
	std::vector<Mote> motes = SeededField(200, 150, 3);
	TestCanvas stepped(200, 150);
	for (int frame = 0; frame < 30; frame++)
		StepFrame(motes.data(), stepped.canvas());

	// The same discs drawn once on a black canvas give the same picture:
	// nothing of an earlier frame is left behind.
	TestCanvas fresh(200, 150);
	for (const Mote& mote : motes)
		DrawDisc(fresh.canvas(), mote);
	EXPECT_EQ(fresh.AllBytes(), stepped.AllBytes());
}


TEST(FrameStep, KeepsTheFieldInsideTheWallsWithinOneStep)
{
	std::vector<Mote> motes = SeededField(64, 48, 11);
	TestCanvas image(64, 48);
	for (int frame = 0; frame < 2000; frame++) {
		StepFrame(motes.data(), image.canvas());
		for (const Mote& mote : motes) {
			ASSERT_GE(mote.x, -fabsf(mote.vx) - 1e-3f) << "frame " << frame;
			ASSERT_LE(mote.x, 64 + fabsf(mote.vx) + 1e-3f) << "frame " << frame;
			ASSERT_GE(mote.y, -fabsf(mote.vy) - 1e-3f) << "frame " << frame;
			ASSERT_LE(mote.y, 48 + fabsf(mote.vy) + 1e-3f) << "frame " << frame;
		}
	}
}
