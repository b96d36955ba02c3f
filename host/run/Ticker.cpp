#include "run/Ticker.h"

#include <algorithm>


Ticker::Ticker(const MonotonicClock& clock)
	:
	fClock(clock),
	fDeadline(clock.Now())
{
}


Ticker::TimePoint
Ticker::Advance(int64_t periodMicroseconds)
{
	std::chrono::microseconds period = std::clamp(std::chrono::microseconds(periodMicroseconds),
		kShortestTick, kLongestTick);

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
