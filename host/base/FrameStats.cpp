#include "base/FrameStats.h"

#include <cstdio>


std::string
FormatStats(const FrameStats& stats)
{
	char line[96];
	std::snprintf(line, sizeof(line), "%.1f fps, %.1f ms a frame, %.0f%% CPU",
		stats.framesPerSecond, stats.frameMilliseconds, stats.cpuPercent);
	return line;
}
