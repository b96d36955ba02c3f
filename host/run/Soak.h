// saverhost --soak FRAMES: a long headless run that checks after every frame
// that nothing was written outside a bitmap (the padding after every row of
// every live bitmap, the saver's canvas among them, still holds its canary),
// and that memory stays flat: after the first frames neither the resident set,
// sampled every so many frames, nor the number of live bitmaps grows.
#ifndef SAVERHOST_SOAK_H
#define SAVERHOST_SOAK_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "base/Result.h"
#include "base/Size.h"

class Soak {
public:
	// The process's resident set in bytes, 0 when it cannot be had.
	using MemoryProbe = std::function<uint64_t()>;

	// Resident memory may move by this much after the warm-up: allocators
	// and the kernel's accounting round to pages and chunks.
	static constexpr uint64_t kSlackBytes = 1024 * 1024;

	// For a run of frames frames.
	explicit Soak(int32_t frames, MemoryProbe probe = ResidentBytes);

	// After frame number frame (from 0) was drawn and presented: what broke,
	// if anything. The run should stop at the first failure.
	Result<void> FrameDone(int32_t frame);

	// One line for the end of the run: frames, time, frames a second, the
	// largest resident set seen, and the result (failure is what broke).
	std::string Summary(Size size, const Result<void>& outcome) const;

	// The frames after which memory is sampled (every Period()), and the one
	// whose sample the later ones are held to.
	int32_t Period() const { return fPeriod; }
	int32_t WarmUp() const { return fWarmUp; }

	static uint64_t ResidentBytes();

private:
	MemoryProbe fProbe;
	int32_t fPeriod;
	int32_t fWarmUp;
	std::chrono::steady_clock::time_point fStart;
	int32_t fFramesDone = 0;
	uint64_t fMaxResident = 0;
	uint64_t fBaseline = 0;
	int32_t fBaselineBitmaps = -1;
};

#endif	// SAVERHOST_SOAK_H
