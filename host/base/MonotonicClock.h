// The clock that paces the run: monotonic, so that setting the wall clock
// neither stalls nor hurries the saver. An interface, so that tests can drive
// the pacing with a clock of their own.
#ifndef SAVERHOST_MONOTONIC_CLOCK_H
#define SAVERHOST_MONOTONIC_CLOCK_H

#include <chrono>

class MonotonicClock {
public:
	using TimePoint = std::chrono::steady_clock::time_point;

	virtual ~MonotonicClock() = default;
	virtual TimePoint Now() const = 0;
};

class SteadyClock : public MonotonicClock {
public:
	TimePoint Now() const override { return std::chrono::steady_clock::now(); }
};

#endif	// SAVERHOST_MONOTONIC_CLOCK_H
