// The output that shows nothing: frames are computed as fast as the saver
// draws them, for digests, snapshots and tests.
#ifndef SAVERHOST_HEADLESS_OUTPUT_H
#define SAVERHOST_HEADLESS_OUTPUT_H

#include "Output.h"

class HeadlessOutput : public Output {
public:
	Result<Size> Open(const Options& options) override;
	bool Present(const PixelView& frame) override;
	std::optional<int32_t> DefaultFrames() const override;
};

#endif	// SAVERHOST_HEADLESS_OUTPUT_H
