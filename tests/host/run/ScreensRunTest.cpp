// --screensaver's run on monitors of the test's own, on a clock the test
// moves: a saver of its own on each monitor, all on one grid of ticks,
// following monitors as they come, go, sleep and wake.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "FakeClock.h"
#include "base/Digest.h"
#include "run/SaverRunner.h"

using TimePoint = MonotonicClock::TimePoint;

namespace {

// A monitor that notes the digest of each frame shown and the wait it came
// after, and sleeps when told.
class Monitor : public Output {
public:
	explicit Monitor(const int& wait) : fWait(wait) {}

	Result<Size> Open(const Options&) override { opened++; return Size{160, 120}; }
	bool Paced() const override { return true; }
	std::optional<int32_t> DefaultFrames() const override { return std::nullopt; }
	Result<void> Present(const PixelView& frame, const Damage&) override
	{
		shown.push_back({fWait, FrameDigest(frame)});
		return {};
	}
	OutputEvents Poll() override { return OutputEvents{false, std::nullopt, asleep}; }

	struct Shown {
		int wait;
		uint64_t digest;
	};
	int opened = 0;
	bool asleep = false;
	std::vector<Shown> shown;

private:
	const int& fWait;
};


// Monitors the script changes before each wait ends: it is given the
// wait's number and the monitors, and says whether they changed or input
// came.
class ScriptedScreens : public Screens {
	using Script = std::function<ScreenEvents(int, std::vector<Output*>&)>;

public:
	ScriptedScreens(FakeClock& clock, int& wait, std::vector<Output*> monitors, Script script)
		:
		fClock(clock),
		fWait(wait),
		fMonitors(std::move(monitors)),
		fScript(std::move(script))
	{
	}

	Result<void> Open(const Options&) override { return {}; }
	std::vector<Output*> Monitors() override { return fMonitors; }
	ScreenEvents WaitUntil(TimePoint deadline) override
	{
		fClock.WaitUntil(deadline);
		return fScript(++fWait, fMonitors);
	}

private:
	FakeClock& fClock;
	int& fWait;
	std::vector<Output*> fMonitors;
	Script fScript;
};


// The waits after which the monitor showed a frame.
std::vector<int>
Waits(const Monitor& monitor)
{
	std::vector<int> waits;
	for (const Monitor::Shown& shown : monitor.shown)
		waits.push_back(shown.wait);
	return waits;
}

}	// namespace


// Two monitors of one size show different motes; a third comes at the 3rd
// wait, the first goes at the 5th, the second sleeps from the 5th to the
// 7th; input at the 9th ends the run with status 0. A wait that brings a
// change of monitors draws nothing: the tick comes at its deadline.
TEST(ScreensRun, OneSaverAMonitorFollowingThemAsTheyChange)
{
	FakeClock clock;
	int wait = 0;
	Monitor first(wait), second(wait), third(wait);
	auto screens = std::make_unique<ScriptedScreens>(clock, wait,
		std::vector<Output*>{&first, &second}, [&](int at, std::vector<Output*>& monitors) {
			ScreenEvents events;
			events.changed = at == 3 || at == 5;
			if (at == 3)
				monitors.push_back(&third);
			if (at == 5)
				monitors.erase(monitors.begin());
			second.asleep = at >= 5 && at < 7;
			events.quit = at == 9;
			return events;
		});

	Options options;
	options.screensaver = true;
	ASSERT_EQ(RunSaver(options, DUSTGLOW_PATH, clock, std::move(screens)), 0);

	EXPECT_EQ(Waits(first), (std::vector<int>{1, 2, 4}));
	EXPECT_EQ(Waits(second), (std::vector<int>{1, 2, 4, 7, 8}));
	EXPECT_EQ(Waits(third), (std::vector<int>{4, 6, 7, 8}));
	EXPECT_EQ(first.opened + second.opened + third.opened, 3);
	EXPECT_NE(first.shown[0].digest, second.shown[0].digest);
}
