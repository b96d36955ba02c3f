#include "HeadlessOutput.h"


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
HeadlessOutput::Present(const PixelView&)
{
	return {};
}
