// The wall clock the add-on sees. saverhost defines time() itself and exports
// it, so that the add-on's calls to time() come here; pinning the clock makes
// a saver that seeds its random numbers from the time draw the same frames
// run after run.
#ifndef SAVERHOST_CLOCK_H
#define SAVERHOST_CLOCK_H

#include <ctime>

// From now on time() reports seconds, whatever the real time.
void PinClock(time_t seconds);

// While it lasts, time() reports a second that no DistinctSecond before it
// reported: the clock's own, or the one after the last one reported. Two
// savers that seed their random numbers from the time at their start, side
// by side on two monitors and started in the same second, so draw
// differently.
class DistinctSecond {
public:
	DistinctSecond();
	~DistinctSecond();

	DistinctSecond(const DistinctSecond&) = delete;
	DistinctSecond& operator=(const DistinctSecond&) = delete;
};

#endif	// SAVERHOST_CLOCK_H
