#include "run/Ticker.h"

#include <algorithm>


Ticker::Ticker(const MonotonicClock& clock)
	:
	fClock(clock),
	fDeadline(clock.Now())
{
}


namespace {

std::chrono::microseconds
KeptPeriod(int64_t periodMicroseconds)
{
	return std::clamp(std::chrono::microseconds(periodMicroseconds), kShortestTick,
		kLongestTick);
}

}	// namespace


Ticker::TimePoint
Ticker::Advance(int64_t periodMicroseconds)
{
	std::chrono::microseconds period = KeptPeriod(periodMicroseconds);

	fDeadline += period;
	TimePoint now = fClock.Now();
	if (fDeadline < now) {
		// Late: jump to the first deadline after now on the same grid, so the
		// ticks that follow keep their phase.
		auto behind = now - fDeadline;
		int64_t missed = behind / period + 1;
		fDeadline += missed * period;
		fSkipped += missed;
	}
	return fDeadline;
}


Ticker::TimePoint
Ticker::Resume(int64_t periodMicroseconds)
{
	std::chrono::microseconds period = KeptPeriod(periodMicroseconds);
	TimePoint now = fClock.Now();
	if (fDeadline < now) {
		auto behind = now - fDeadline;
		fDeadline += (behind + period - std::chrono::nanoseconds(1)) / period * period;
	}
	return fDeadline;
}
