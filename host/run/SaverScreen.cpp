#include "run/SaverScreen.h"

#include <optional>
#include <string>

#include "run/Clock.h"


Result<std::unique_ptr<SaverScreen>>
SaverScreen::Create(const SaverModule& module)
{
	auto screen = std::make_unique<SaverScreen>(Token{});
	Result<std::unique_ptr<BScreenSaver>> created = module.Instantiate(&screen->fArchive);
	if (!created)
		return Error{created.Message()};
	screen->fSaver = std::move(created.Value());
	if (status_t status = screen->fSaver->InitCheck(); status != B_OK) {
		return Error{"\"" + module.Path() + "\": the saver failed to initialise (status "
			+ std::to_string(status) + ")"};
	}
	return Result<std::unique_ptr<SaverScreen>>(std::move(screen));
}


// The saver stops before its view goes, and the view before the saver.
SaverScreen::~SaverScreen()
{
	Stop();
	fSurface.reset();
}


Result<void>
SaverScreen::Start(Size size, bool preview, bool distinctSeed)
{
	Stop();
	fSurface.reset();
	Result<std::unique_ptr<Surface>> made = Surface::Create(size, preview ? "preview" : "saver");
	if (!made)
		return Error{made.Message()};
	fSurface = std::move(made.Value());
	frames = 0;

	std::optional<DistinctSecond> second;
	if (distinctSeed)
		second.emplace();
	status_t status = fSaver->StartSaver(fSurface->View(), preview);
	fRunning = status == B_OK;
	if (!fRunning) {
		return Error{"the saver refused to start on a " + SizeText(size) + " view (status "
			+ std::to_string(status) + ")"};
	}
	return {};
}


void
SaverScreen::Stop()
{
	if (fRunning)
		fSaver->StopSaver();
	fRunning = false;
}
