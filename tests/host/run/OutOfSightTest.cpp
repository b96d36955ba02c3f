// The paced run's waits: while nobody can see its frames, and when a signal
// comes; the saver and a paced output of the test's own, on a clock the test
// moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <chrono>
#include <vector>

#include "FakeClock.h"
#include "base/Report.h"
#include "outputs/Output.h"
#include "run/SaverRunner.h"

using namespace std::chrono_literals;
using TimePoint = MonotonicClock::TimePoint;

namespace {

// When each frame came, and how long each wait out of sight lasted.
struct Seen {
	std::vector<TimePoint> frames;
	std::vector<std::chrono::nanoseconds> waitsOutOfSight;
};


// A window that is out of sight from hidden to shown: its waits end early
// when that changes, as a real one's do.
class HidingOutput : public Output {
public:
	HidingOutput(FakeClock& clock, TimePoint hidden, TimePoint shown, Seen& seen)
		:
		fClock(clock),
		fHidden(hidden),
		fShown(shown),
		fSeen(seen)
	{
	}

	Result<Size> Open(const Options& options) override { return options.size; }
	bool Paced() const override { return true; }
	std::optional<int32_t> DefaultFrames() const override { return std::nullopt; }

	Result<void> Present(const PixelView&, const Damage&) override
	{
		fSeen.frames.push_back(fClock.Now());
		return {};
	}

	OutputEvents Poll() override { return Events(); }

	OutputEvents WaitUntil(TimePoint deadline) override
	{
		TimePoint start = fClock.Now();
		for (TimePoint change : {fHidden, fShown}) {
			if (change > start && change < deadline)
				deadline = change;
		}
		fClock.WaitUntil(deadline);
		if (OutOfSight(start))
			fSeen.waitsOutOfSight.push_back(fClock.Now() - start);
		return Events();
	}

private:
	bool OutOfSight(TimePoint when) const { return when >= fHidden && when < fShown; }

	OutputEvents Events() const
	{
		OutputEvents events;
		events.outOfSight = OutOfSight(fClock.Now());
		return events;
	}

	FakeClock& fClock;
	TimePoint fHidden;
	TimePoint fShown;
	Seen& fSeen;
};


// A window in sight that gets a SIGTERM while it waits for the third tick.
class SignalledOutput : public HidingOutput {
public:
	SignalledOutput(FakeClock& clock, Seen& seen)
		: HidingOutput(clock, TimePoint::max(), TimePoint::max(), seen), fSeen(seen) {}

	OutputEvents WaitUntil(TimePoint deadline) override
	{
		if (fSeen.frames.size() == 2)
			std::raise(SIGTERM);
		return HidingOutput::WaitUntil(deadline);
	}

private:
	Seen& fSeen;
};

}	// namespace


// The signal ends the run as soon as the wait ends, with no Draw after it.
TEST(PacedWait, ASignalDuringTheWaitEndsTheRunBeforeTheNextDraw)
{
	FakeClock clock;
	Seen seen;
	Options options;
	options.size = Size{64, 48};
	options.frames = 5;
	EXPECT_EQ(RunSaver(options, DUSTGLOW_PATH, clock,
		std::make_unique<SignalledOutput>(clock, seen)), kExitSignalBase + SIGTERM);
	EXPECT_EQ(seen.frames.size(), 2u);
}


// Minimized between two ticks, restored 820 ms later between two others: no
// frame meanwhile, the next one on the grid after the restore, no burst, and
// no busy wait while out of sight.
TEST(OutOfSight, PausesTheTicksAndResumesOnTheirGrid)
{
	FakeClock clock;
	TimePoint start = clock.Now();
	Seen seen;
	auto output = std::make_unique<HidingOutput>(clock, start + 190ms, start + 1010ms, seen);

	Options options;
	options.size = Size{64, 48};
	options.frames = 12;
	ASSERT_EQ(RunSaver(options, DUSTGLOW_PATH, clock, std::move(output)), 0);

	std::vector<std::chrono::milliseconds> frames;
	for (TimePoint frame : seen.frames)
		frames.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(frame - start));
	EXPECT_EQ(frames, (std::vector<std::chrono::milliseconds>{0ms, 40ms, 80ms, 120ms, 160ms,
		1040ms, 1080ms, 1120ms, 1160ms, 1200ms, 1240ms, 1280ms}));

	ASSERT_FALSE(seen.waitsOutOfSight.empty());
	EXPECT_LE(seen.waitsOutOfSight.size(), 10u);
	for (size_t i = 0; i + 1 < seen.waitsOutOfSight.size(); i++)
		EXPECT_GE(seen.waitsOutOfSight[i], 50ms) << i;
}
