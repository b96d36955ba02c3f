// A clock that the tests move by hand, for the host's pacing, its --fps
// figures and its progress line.
#ifndef TESTS_FAKE_CLOCK_H
#define TESTS_FAKE_CLOCK_H

#include <algorithm>
#include <chrono>

#include "base/MonotonicClock.h"

class FakeClock : public MonotonicClock {
public:
	TimePoint Now() const override { return fNow; }
	void Pass(std::chrono::steady_clock::duration time) { fNow += time; }
	// What a paced output does: sleep until the deadline, if it is ahead.
	void WaitUntil(TimePoint deadline) { fNow = std::max(fNow, deadline); }

private:
	TimePoint fNow{std::chrono::hours(1)};
};

#endif	// TESTS_FAKE_CLOCK_H
