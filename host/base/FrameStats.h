// How the run is going, for --fps.
#ifndef SAVERHOST_FRAME_STATS_H
#define SAVERHOST_FRAME_STATS_H

#include <string>

struct FrameStats {
	double framesPerSecond = 0;
	// Wall time of the latest Draw() and present, in milliseconds.
	double frameMilliseconds = 0;
	// The host's user and system time over wall time, in percent of one core.
	double cpuPercent = 0;
};

// The figures in one short line: "25.0 fps, 3.2 ms a frame, 12% CPU".
std::string FormatStats(const FrameStats& stats);

#endif	// SAVERHOST_FRAME_STATS_H
