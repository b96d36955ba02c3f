// Where the frames go. Each output owns its resources and releases them in
// its destructor. For now there is one: headless, which shows nothing.
#ifndef SAVERHOST_OUTPUT_H
#define SAVERHOST_OUTPUT_H

#include <cstdint>
#include <memory>
#include <optional>

#include "Options.h"
#include "PixelView.h"
#include "Result.h"
#include "Size.h"

class Output {
public:
	virtual ~Output() = default;

	// The size the saver's full-screen view should have, or an error the
	// user can act on.
	virtual Result<Size> Open(const Options& options) = 0;
	// Shows one frame; returns false when the user asked to stop.
	virtual bool Present(const PixelView& frame) = 0;
	// The ticks to run when --frames is not given; none for "until the user
	// stops it".
	virtual std::optional<int32_t> DefaultFrames() const = 0;
};

enum class OutputKind { Headless };

std::unique_ptr<Output> MakeOutput(OutputKind kind);

#endif	// SAVERHOST_OUTPUT_H
