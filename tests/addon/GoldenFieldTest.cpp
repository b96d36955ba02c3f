// Pinned pictures of whole runs of the field. Any change that alters a single
// pixel or a single bit of a mote fails here; if a change is meant to alter
// the picture, these digests are its record.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <map>
#include <string>
#include <vector>

#include "Fnv.h"
#include "FrameStep.h"
#include "MoteSeeding.h"
#include "TestCanvas.h"


namespace {

struct FieldRun {
	int32 width;
	int32 height;
	unsigned seed;
	unsigned short uniformState[3];
	std::map<int, std::string> canvasAt;
	std::string motesAtLast;
};


void
CheckRun(const FieldRun& run)
{
	srand(run.seed);
	unsigned short state[3] = { run.uniformState[0], run.uniformState[1],
		run.uniformState[2] };
	seed48(state);

	TestCanvas image(run.width, run.height);
	std::vector<Mote> motes(kMoteCount);
	SeedMotes(motes.data(), run.width, run.height);

	int last = run.canvasAt.rbegin()->first;
	for (int frame = 1; frame <= last; frame++) {
		StepFrame(motes.data(), image.canvas());
		auto expected = run.canvasAt.find(frame);
		if (expected != run.canvasAt.end()) {
			EXPECT_EQ(expected->second, CanvasDigest(image.canvas()))
				<< run.width << "x" << run.height << " frame " << frame;
		}
	}
	EXPECT_EQ(run.motesAtLast, BytesDigest(motes.data(), sizeof(Mote) * kMoteCount))
		<< run.width << "x" << run.height << " motes after frame " << last;
}

}	// namespace


TEST(GoldenField, FullScreenRun)
{
	CheckRun(FieldRun{640, 480, 1000000, {0x330e, 0xabcd, 0x1234},
		{{1, "4d95db7915f7a9cd"}, {10, "2a062a927e12b87e"}, {100, "db7200457186ccb1"},
		 {1000, "fa7d2c7e6929567e"}, {3000, "2615b50d372e2aab"}},
		"a9348f2d52a2f0f2"});
}


TEST(GoldenField, SmallOddCanvasFullOfCollisions)
{
	CheckRun(FieldRun{97, 61, 5, {0x330e, 0, 0},
		{{1, "707edbf25b76ab2e"}, {50, "a8db5ea35b2c8e86"}, {500, "83ade77a7b9dc544"},
		 {3000, "15b3855acc7dd85b"}},
		"0fe965dca1c8939a"});
}
