#include "run/Soak.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include <BitmapGuard.h>


namespace {

// Samples over a run, at most; never more often than every frame nor less
// often than every thousand.
constexpr int32_t kSamples = 100;
constexpr int32_t kLongestPeriod = 1000;
// The frames that settle what a run holds: the first tenth of the run, at
// most this many.
constexpr int32_t kLongestWarmUp = 1000;


std::string
Mebibytes(uint64_t bytes)
{
	char text[32];
	std::snprintf(text, sizeof(text), "%.1f MiB", static_cast<double>(bytes) / (1024 * 1024));
	return text;
}

}	// namespace


Soak::Soak(int32_t frames, MemoryProbe probe)
	:
	fProbe(std::move(probe)),
	fPeriod(std::clamp(frames / kSamples, 1, kLongestPeriod)),
	fWarmUp(std::min(frames / 10, kLongestWarmUp)),
	fStart(std::chrono::steady_clock::now())
{
	fMaxResident = fProbe();
}


Result<void>
Soak::FrameDone(int32_t frame)
{
	fFramesDone = frame + 1;
	const std::string after = "after frame " + std::to_string(frame + 1) + ": ";

	if (!BPrivate::BitmapGuard::AllIntact()) {
		return Error{after + "a bitmap was written outside its pixels (the padding "
			"after a row no longer holds its canary)"};
	}

	bool baseline = frame == fWarmUp;
	if (!baseline && (frame + 1) % fPeriod != 0)
		return {};

	uint64_t resident = fProbe();
	fMaxResident = std::max(fMaxResident, resident);
	int32_t bitmaps = BPrivate::BitmapGuard::CountLive();
	if (baseline) {
		fBaseline = resident;
		fBaselineBitmaps = bitmaps;
		return {};
	}
	if (frame < fWarmUp)
		return {};

	const std::string since = " after frame " + std::to_string(fWarmUp + 1);
	if (bitmaps > fBaselineBitmaps) {
		return Error{after + std::to_string(bitmaps) + " bitmaps are alive, "
			+ std::to_string(fBaselineBitmaps) + since};
	}
	if (resident > fBaseline + kSlackBytes) {
		return Error{after + "resident memory is " + Mebibytes(resident) + ", "
			+ Mebibytes(fBaseline) + since};
	}
	return {};
}


std::string
Soak::Summary(Size size, const Result<void>& outcome) const
{
	double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now()
		- fStart).count();
	double rate = seconds > 0 ? fFramesDone / seconds : 0;
	char figures[160];
	std::snprintf(figures, sizeof(figures), "%" PRId32 " frames of %" PRId32 "x%" PRId32
		" in %.1f s, %.0f frames/s, max RSS ", fFramesDone, size.width, size.height,
		seconds, rate);
	return std::string("soak: ") + figures + Mebibytes(fMaxResident)
		+ (outcome ? ": passed" : ": FAILED " + outcome.Message());
}


uint64_t
Soak::ResidentBytes()
{
	// The second field of statm: resident pages. Read with plain system
	// calls, so that sampling allocates nothing itself.
	int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
	if (fd < 0)
		return 0;
	char text[128];
	ssize_t length;
	do {
		length = read(fd, text, sizeof(text) - 1);
	} while (length < 0 && errno == EINTR);
	close(fd);
	if (length <= 0)
		return 0;
	text[length] = '\0';

	char* end;
	std::strtoull(text, &end, 10);
	uint64_t pages = std::strtoull(end, nullptr, 10);
	long pageSize = sysconf(_SC_PAGESIZE);
	return pages * static_cast<uint64_t>(pageSize > 0 ? pageSize : 4096);
}
