// The host's pacing and its --fps figures, on a clock the tests move by hand.
#include <gtest/gtest.h>

#include <vector>

#include "FakeClock.h"
#include "run/StatsMeter.h"
#include "run/Ticker.h"

using namespace std::chrono_literals;

namespace {

// Runs frames ticks whose drawing takes drawTime(i); gives when each one
// started drawing, relative to the first.
template<typename DrawTime>
std::vector<std::chrono::milliseconds>
RunTicks(FakeClock& clock, Ticker& ticker, int frames, int64_t period, DrawTime drawTime)
{
	MonotonicClock::TimePoint start = clock.Now();
	std::vector<std::chrono::milliseconds> starts;
	for (int i = 0; i < frames; i++) {
		clock.WaitUntil(ticker.Deadline());
		starts.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(
			clock.Now() - start));
		clock.Pass(drawTime(i));
		ticker.Advance(period);
	}
	return starts;
}

}	// namespace


TEST(Ticker, KeepsToTheGridWhateverTheDrawingCosts)
{
	// 1500 ticks of 40 ms are 60 s, whether a frame costs nothing, a steady
	// 30 ms or anything up to just under the period.
	for (auto cost : {0ms, 30ms, 39ms}) {
		FakeClock clock;
		Ticker ticker(clock);
		MonotonicClock::TimePoint first = ticker.Deadline();
		std::vector<std::chrono::milliseconds> starts = RunTicks(clock, ticker, 1500, 40000,
			[cost](int i) { return i % 2 == 0 ? cost : cost / 3; });

		EXPECT_EQ(ticker.Deadline() - first, 60s) << cost.count();
		EXPECT_EQ(starts[1499], 59960ms);
		EXPECT_EQ(ticker.Skipped(), 0);
	}
}


TEST(Ticker, LateFrameSkipsToTheNextDeadlineAheadWithoutBursting)
{
	FakeClock clock;
	Ticker ticker(clock);
	// Frame 2 takes 130 ms: the ticks at 120, 160 and 200 ms are gone, and
	// the next frame starts at 240 ms, on the old grid, followed by no burst.
	std::vector<std::chrono::milliseconds> starts = RunTicks(clock, ticker, 6, 40000,
		[](int i) { return i == 2 ? 130ms : 5ms; });
	EXPECT_EQ(starts, (std::vector<std::chrono::milliseconds>{0ms, 40ms, 80ms, 240ms, 280ms,
		320ms}));
	EXPECT_EQ(ticker.Skipped(), 3);

	// Finishing exactly on the next deadline is on time, not late.
	FakeClock onTime;
	Ticker exact(onTime);
	RunTicks(onTime, exact, 3, 40000, [](int) { return 40ms; });
	EXPECT_EQ(exact.Skipped(), 0);
}


TEST(Ticker, TakesEachNewPeriodFromTheLastDeadlineWithinLimits)
{
	FakeClock clock;
	Ticker ticker(clock);
	MonotonicClock::TimePoint first = ticker.Deadline();

	ticker.Advance(40000);
	ticker.Advance(40000);
	ticker.Advance(20000);
	EXPECT_EQ(ticker.Deadline() - first, 100ms);

	// No busy loop for a period of zero or less, and a tick at least every
	// ten seconds.
	ticker.Advance(0);
	EXPECT_EQ(ticker.Deadline() - first, 101ms);
	ticker.Advance(-5);
	EXPECT_EQ(ticker.Deadline() - first, 102ms);
	ticker.Advance(3'600'000'000);
	EXPECT_EQ(ticker.Deadline() - first, 10102ms);
	EXPECT_EQ(ticker.Skipped(), 0);
}


TEST(StatsMeter, GivesRateCostAndLoadOnceASecond)
{
	FakeClock clock;
	std::chrono::microseconds cpu(5'000'000);
	StatsMeter meter(clock, [&cpu] { return cpu; });

	// 25 frames at 40 ms, each costing 8 ms of which half is CPU time: the
	// figures come with the frame that completes the second, not before.
	for (int i = 0; i < 24; i++) {
		clock.Pass(40ms);
		cpu += 4ms;
		EXPECT_FALSE(meter.FrameDone(8ms)) << i;
	}
	clock.Pass(40ms);
	cpu += 4ms;
	std::optional<FrameStats> stats = meter.FrameDone(12ms);
	ASSERT_TRUE(stats);
	EXPECT_DOUBLE_EQ(stats->framesPerSecond, 25);
	EXPECT_DOUBLE_EQ(stats->frameMilliseconds, 12);
	EXPECT_DOUBLE_EQ(stats->cpuPercent, 10);
	EXPECT_EQ(FormatStats(*stats), "25.0 fps, 12.0 ms a frame, 10% CPU");

	// The next second starts afresh: 2 slow frames in 1.5 s, all CPU.
	clock.Pass(500ms);
	cpu += 500ms;
	EXPECT_FALSE(meter.FrameDone(500ms));
	clock.Pass(1000ms);
	cpu += 1000ms;
	stats = meter.FrameDone(1000ms);
	ASSERT_TRUE(stats);
	EXPECT_NEAR(stats->framesPerSecond, 2 / 1.5, 1e-9);
	EXPECT_DOUBLE_EQ(stats->cpuPercent, 100);
}
