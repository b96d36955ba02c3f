// How long the session has gone without input, for --idle: the desktop's own
// account of it, so that what it counts as activity (and its inhibitors,
// such as a playing video) count here too.
#ifndef SAVERHOST_IDLE_WATCH_H
#define SAVERHOST_IDLE_WATCH_H

#include <chrono>

#include "base/Result.h"

class IdleWatch {
public:
	virtual ~IdleWatch() = default;

	// Starts watching for `idle` without input, or says why this session
	// offers no way to know.
	virtual Result<void> Open(std::chrono::seconds idle) = 0;

	// Waits until the session has been idle for that long since the last
	// input (true), or until a signal arrives (false). Called again after a
	// screen saver ended, it waits for the next stretch of idleness.
	virtual bool WaitForIdle() = 0;
};

#endif	// SAVERHOST_IDLE_WATCH_H
