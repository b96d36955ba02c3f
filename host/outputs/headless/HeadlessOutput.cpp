#include "outputs/headless/HeadlessOutput.h"

#include <unistd.h>

#include "base/Report.h"
#include "base/FrameStats.h"


Result<Size>
HeadlessOutput::Open(const Options& options)
{
	return options.size;
}


std::optional<int32_t>
HeadlessOutput::DefaultFrames() const
{
	// Nobody watches: one frame shows that the saver starts and draws.
	return 1;
}


Result<void>
HeadlessOutput::Present(const PixelView&, const Damage&)
{
	return {};
}


void
HeadlessOutput::ShowStats(const FrameStats& stats)
{
	if (isatty(STDERR_FILENO) == 1)
		Report(FormatStats(stats));
}
