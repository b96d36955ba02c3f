// Pinned pictures of whole runs of the field. Any change that alters a single
// pixel or a single bit of a mote fails here; if a change is meant to alter
// the picture, these digests are its record.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <map>
#include <string>
#include <vector>

#include "FrameStep.h"
#include "MoteSeeding.h"
#include "TestCanvas.h"
#include "base/Digest.h"


namespace {

std::string
CanvasDigest(const Canvas& canvas)
{
	return FormatDigest(FrameDigest(PixelView{canvas.Row(0), (size_t)canvas.BytesPerRow(),
		canvas.Width(), canvas.Height()}));
}


// The motes' bytes in memory order, three to a pixel as its red, green and
// blue, so that the frame digest takes in each byte once and in order.
std::string
MotesDigest(const std::vector<Mote>& motes)
{
	static_assert(sizeof(Mote) * kMoteCount % 3 == 0, "the motes fill whole pixels");
	const uint8* bytes = (const uint8*)motes.data();
	std::vector<uint8> pixels;
	for (size_t i = 0; i < sizeof(Mote) * kMoteCount; i += 3)
		pixels.insert(pixels.end(), { bytes[i + 2], bytes[i + 1], bytes[i], 0 });
	return FormatDigest(FrameDigest(PixelView{pixels.data(), pixels.size(),
		(int32_t)(pixels.size() / 4), 1}));
}


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
	EXPECT_EQ(run.motesAtLast, MotesDigest(motes))
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
