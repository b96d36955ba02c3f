// The wall clock the add-on sees. saverhost defines time() itself and exports
// it, so that the add-on's calls to time() come here; pinning the clock makes
// a saver that seeds its random numbers from the time draw the same frames
// run after run.
#ifndef SAVERHOST_CLOCK_H
#define SAVERHOST_CLOCK_H

#include <ctime>

// From now on time() reports seconds, whatever the real time.
void PinClock(time_t seconds);

#endif	// SAVERHOST_CLOCK_H
