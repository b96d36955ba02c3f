// One saver on one output: a saver of its own from the module, the view it
// draws on, and the output its frames go to. A plain run has one of these;
// --screensaver has one for each monitor, each saver started on a view of
// its monitor's size.
#ifndef SAVERHOST_SAVER_SCREEN_H
#define SAVERHOST_SAVER_SCREEN_H

#include <memory>

#include <Message.h>
#include <ScreenSaver.h>

#include "base/Result.h"
#include "base/Size.h"
#include "module/SaverModule.h"
#include "outputs/Output.h"
#include "run/Surface.h"

class SaverScreen {
	struct Token {
		explicit Token() = default;
	};

public:
	// A new saver of the module's, which must outlive the screen; or why the
	// saver could not be made.
	static Result<std::unique_ptr<SaverScreen>> Create(const SaverModule& module);

	explicit SaverScreen(Token) {}
	~SaverScreen();

	SaverScreen(const SaverScreen&) = delete;
	SaverScreen& operator=(const SaverScreen&) = delete;

	// Where the frames go from now on; it must outlive the screen, or go
	// only once nothing more is drawn.
	void ShowIn(Output& output) { fOutput = &output; }
	Output& Out() const { return *fOutput; }
	BScreenSaver& Saver() const { return *fSaver; }
	// The view the saver runs on; none before the first Start().
	Surface* View() const { return fSurface.get(); }

	// A new view of the size, with the saver started on it; a saver running
	// is stopped first. distinctSeed: the saver's start sees a second of the
	// wall clock that no start before it saw, so that savers which seed
	// their random numbers from the time draw differently side by side.
	Result<void> Start(Size size, bool preview, bool distinctSeed);
	// Stops the saver, if it runs; the view stays.
	void Stop();

	// Ticks this screen has drawn since its saver started: the frame number
	// Draw() is given.
	int32_t frames = 0;
	// Nobody can see this screen's frames, as its output last said.
	bool outOfSight = false;

private:
	Output* fOutput = nullptr;
	// The saver's state: none kept, so an empty message. The saver may hold
	// on to it, so it lives as long as the saver.
	BMessage fArchive;
	std::unique_ptr<BScreenSaver> fSaver;
	std::unique_ptr<Surface> fSurface;
	bool fRunning = false;
};

#endif	// SAVERHOST_SAVER_SCREEN_H
