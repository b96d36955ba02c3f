// The deadlines of the saver's ticks. Each deadline is the one before plus the
// period, not "now" plus the period, so the time spent drawing does not add up
// into drift: 1500 ticks of 40 ms take 60 seconds. A tick that comes too late
// is not made up for with a burst of frames; the next deadline is the first
// one still ahead.
#ifndef SAVERHOST_TICKER_H
#define SAVERHOST_TICKER_H

#include <chrono>
#include <cstdint>

#include "base/MonotonicClock.h"

// The periods the host keeps to, whatever the saver asks for: no busy loop
// for a period of zero, and a saver asking for hours still gets a tick that
// notices a quit.
constexpr std::chrono::microseconds kShortestTick{1000};
constexpr std::chrono::microseconds kLongestTick{10'000'000};

class Ticker {
public:
	using TimePoint = MonotonicClock::TimePoint;

	// The first tick is due at once.
	explicit Ticker(const MonotonicClock& clock);

	// When the current tick is due.
	TimePoint Deadline() const { return fDeadline; }

	// Moves on to the next tick, period after the current one: the saver's
	// period as it is now, in microseconds, kept within kShortestTick and
	// kLongestTick. When that deadline has already passed, ticks are skipped
	// until one is still ahead.
	TimePoint Advance(int64_t periodMicroseconds);

	// After a pause: the current tick moves on to the first deadline on its
	// grid that has not passed yet, and the ticks in between are dropped
	// without counting as skipped.
	TimePoint Resume(int64_t periodMicroseconds);

	// Ticks dropped because the frames before them came too late.
	int64_t Skipped() const { return fSkipped; }

private:
	const MonotonicClock& fClock;
	TimePoint fDeadline;
	int64_t fSkipped = 0;
};

#endif	// SAVERHOST_TICKER_H
