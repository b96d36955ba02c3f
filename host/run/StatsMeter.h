// --fps: measures the run and gives its figures about once a second.
#ifndef SAVERHOST_STATS_METER_H
#define SAVERHOST_STATS_METER_H

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "base/FrameStats.h"
#include "base/MonotonicClock.h"

// The CPU time the process has used so far, user and system together.
using CpuClock = std::function<std::chrono::microseconds()>;

// getrusage() for the whole process.
std::chrono::microseconds ProcessCpuTime();

class StatsMeter {
public:
	StatsMeter(const MonotonicClock& clock, CpuClock cpuTime);

	// Counts one frame that cost frameCost (Draw and present); gives the
	// figures once at least a second has passed since the last ones.
	std::optional<FrameStats> FrameDone(std::chrono::steady_clock::duration frameCost);

private:
	const MonotonicClock& fClock;
	CpuClock fCpuTime;
	MonotonicClock::TimePoint fSince;
	std::chrono::microseconds fCpuSince;
	int fFrames = 0;
};

#endif	// SAVERHOST_STATS_METER_H
