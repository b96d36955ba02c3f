// The output that shows nothing: frames are computed as fast as the saver
// draws them, for digests, snapshots, tests and benchmarks.
#ifndef SAVERHOST_HEADLESS_OUTPUT_H
#define SAVERHOST_HEADLESS_OUTPUT_H

#include "outputs/Output.h"

class HeadlessOutput : public Output {
public:
	Result<Size> Open(const Options& options) override;
	bool Paced() const override { return false; }
	std::optional<int32_t> DefaultFrames() const override;
	Result<void> Present(const PixelView& frame, const Damage& damage) override;
	// --fps: a line on standard error when someone reads it there.
	void ShowStats(const FrameStats& stats) override;
};

#endif	// SAVERHOST_HEADLESS_OUTPUT_H
