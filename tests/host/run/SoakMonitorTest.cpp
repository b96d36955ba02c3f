// saverhost --soak's checks: writes outside any live bitmap, resident memory
// that grows after the warm-up, bitmaps that pile up, and the summary line.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <vector>

#include <Bitmap.h>
#include <BitmapGuard.h>

#include "run/Soak.h"


namespace {

// The first frame, counting from 1, whose check failed, and why; 0 if none.
struct Outcome {
	int32_t frame = 0;
	std::string message;
};


Outcome
RunFrames(Soak& soak, int32_t frames, const std::function<void(int32_t)>& beforeCheck = {})
{
	for (int32_t frame = 0; frame < frames; frame++) {
		if (beforeCheck)
			beforeCheck(frame);
		Result<void> healthy = soak.FrameDone(frame);
		if (!healthy)
			return Outcome{frame + 1, healthy.Message()};
	}
	return Outcome{};
}

}	// namespace


TEST(Soak, CatchesAWriteOutsideAnyLiveBitmap)
{
	// Bitmaps the host never sees, as an add-on's canvas is.
	BBitmap canvas(BRect(0, 0, 9, 4), B_RGB32);
	BBitmap other(BRect(0, 0, 2, 2), B_RGB32);
	uint8* bits = static_cast<uint8*>(canvas.Bits());

	struct Case {
		const char* what;
		uint8* byte;
	};
	const Case cases[] = {
		{"just past the first row", bits + 10 * 4},
		{"at the end of a row's padding", bits + 3 * canvas.BytesPerRow() - 1},
		{"past the last row", bits + 5 * canvas.BytesPerRow()},
		{"in the other bitmap", static_cast<uint8*>(other.Bits()) + 3 * 4},
	};
	for (const Case& test : cases) {
		Soak soak(100, [] { return uint64_t{1 << 20}; });
		EXPECT_EQ(RunFrames(soak, 5).frame, 0) << test.what;

		uint8 kept = *test.byte;
		Outcome outcome = RunFrames(soak, 10, [&](int32_t frame) {
			if (frame == 7)
				*test.byte = 0;
		});
		*test.byte = kept;
		EXPECT_EQ(outcome.frame, 8) << test.what;
		EXPECT_EQ(outcome.message, "after frame 8: a bitmap was written outside its "
			"pixels (the padding after a row no longer holds its canary)") << test.what;
	}
}


TEST(Soak, HoldsResidentMemoryToItsSizeAfterTheWarmUp)
{
	// 20000 frames: sampled every 200, held to the sample after frame 1000.
	uint64_t resident = 50 << 20;
	Soak soak(20000, [&] { return resident; });
	ASSERT_EQ(soak.Period(), 200);
	ASSERT_EQ(soak.WarmUp(), 1000);

	// Growth during the warm-up is how a run settles; afterwards memory may
	// move within the slack, and the first sample beyond it fails.
	Outcome outcome = RunFrames(soak, 20000, [&](int32_t frame) {
		if (frame < 1000)
			resident += 4096;
		else if (frame == 3000)
			resident += Soak::kSlackBytes;
		else if (frame == 5000)
			resident += 4096;
	});
	EXPECT_EQ(outcome.frame, 5200);
	EXPECT_EQ(outcome.message, "after frame 5200: resident memory is 54.9 MiB, "
		"53.9 MiB after frame 1001");

	// A short run holds memory from its first tenth on.
	uint64_t grown = 10 << 20;
	Soak shortRun(50, [&] { return grown; });
	EXPECT_EQ(RunFrames(shortRun, 50, [&](int32_t frame) {
		if (frame == 30)
			grown += 2 * Soak::kSlackBytes;
	}).frame, 31);
}


TEST(Soak, CatchesBitmapsThatPileUp)
{
	Soak soak(1000, [] { return uint64_t{1 << 20}; });
	std::vector<std::unique_ptr<BBitmap>> kept;

	// One made and deleted every frame, and bitmaps without pixels, are no
	// pile; one kept for good after the warm-up is.
	Outcome outcome = RunFrames(soak, 1000, [&](int32_t frame) {
		BBitmap passing(BRect(0, 0, 3, 3), B_RGB32);
		kept.push_back(std::make_unique<BBitmap>(BRect(0, 0, -1, -1), B_RGB32));
		if (frame == 500)
			kept.push_back(std::make_unique<BBitmap>(BRect(0, 0, 3, 3), B_RGB32));
	});
	EXPECT_EQ(outcome.frame, 510);
	int32 live = BPrivate::BitmapGuard::CountLive();
	EXPECT_EQ(outcome.message, "after frame 510: " + std::to_string(live)
		+ " bitmaps are alive, " + std::to_string(live - 1) + " after frame 101");
}


TEST(Soak, SummarySaysFramesTimeRateMemoryAndResult)
{
	Soak soak(10, [] { return uint64_t{12 << 20} + (1 << 19); });
	ASSERT_EQ(RunFrames(soak, 10).frame, 0);

	std::regex passed("soak: 10 frames of 640x480 in [0-9]+\\.[0-9] s, [0-9]+ frames/s, "
		"max RSS 12\\.5 MiB: passed");
	std::string summary = soak.Summary(Size{640, 480}, {});
	EXPECT_TRUE(std::regex_match(summary, passed)) << summary;

	std::string failed = soak.Summary(Size{64, 48}, Error{"after frame 3: broken"});
	EXPECT_NE(failed.find(": FAILED after frame 3: broken"), std::string::npos) << failed;
}
