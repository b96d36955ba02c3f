#include "run/StatsMeter.h"

#include <sys/resource.h>

#include <cstdio>


namespace {

constexpr std::chrono::seconds kReportEvery{1};


std::chrono::microseconds
ToMicroseconds(const timeval& time)
{
	return std::chrono::seconds(time.tv_sec) + std::chrono::microseconds(time.tv_usec);
}

}	// namespace


std::chrono::microseconds
ProcessCpuTime()
{
	rusage usage{};
	if (getrusage(RUSAGE_SELF, &usage) != 0)
		return std::chrono::microseconds(0);
	return ToMicroseconds(usage.ru_utime) + ToMicroseconds(usage.ru_stime);
}



StatsMeter::StatsMeter(const MonotonicClock& clock, CpuClock cpuTime)
	:
	fClock(clock),
	fCpuTime(std::move(cpuTime)),
	fSince(clock.Now()),
	fCpuSince(fCpuTime())
{
}


std::optional<FrameStats>
StatsMeter::FrameDone(std::chrono::steady_clock::duration frameCost)
{
	using Seconds = std::chrono::duration<double>;
	using Milliseconds = std::chrono::duration<double, std::milli>;

	fFrames++;
	MonotonicClock::TimePoint now = fClock.Now();
	Seconds wall = now - fSince;
	if (wall < kReportEvery)
		return std::nullopt;

	std::chrono::microseconds cpu = fCpuTime();
	FrameStats stats;
	stats.framesPerSecond = fFrames / wall.count();
	stats.frameMilliseconds = Milliseconds(frameCost).count();
	stats.cpuPercent = 100 * Seconds(cpu - fCpuSince).count() / wall.count();

	fSince = now;
	fCpuSince = cpu;
	fFrames = 0;
	return stats;
}
