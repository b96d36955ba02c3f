#include "outputs/window/VideoSession.h"

#include <cstdlib>
#include <string>

#include <SDL.h>

#include "base/Report.h"
#include "outputs/window/DisplayNames.h"


namespace {

// Said whether the window was asked for or only tried: when it was only
// tried, the run goes on elsewhere and the hint after "; try" is left out.
std::string
CannotOpen(const std::string& why)
{
	std::string display = DisplayName();
	return "cannot open " + (display.empty() ? std::string("the display")
		: "display \"" + display + "\"") + " (" + why + "); try --output terminal";
}

}	// namespace


Result<std::unique_ptr<VideoSession>>
VideoSession::Start(Use use)
{
	bool borrowing = use == Use::LentWindow;
	// The host catches SIGINT and SIGTERM itself, to stop the saver
	// properly; SDL would turn them into quit events.
	SDL_SetHintWithPriority(SDL_HINT_NO_SIGNAL_HANDLERS, "1", SDL_HINT_OVERRIDE);
	// In a daemon's window, or covering every monitor, the host is the
	// screen saver: the screen must still blank and power down as the daemon
	// or the X server decides.
	if (use != Use::OwnWindow)
		SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
	// Which of SDL's drivers: X's alone, unless SDL_VIDEODRIVER names one.
	// Wayland has an output of its own (outputs/wayland); where no X server
	// answers, SDL would otherwise go on to its Wayland driver.
	bool xOnly = false;
	if (!Named("SDL_VIDEODRIVER")) {
		if (borrowing && !Named("DISPLAY"))
			return Error{"--window-id and --root need an X display, and DISPLAY is not set"};
		xOnly = true;
		SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
	}

	// The window goes by the name saverhost was run by, dustglow as the
	// screen saver, for the rules and lists of window managers and
	// compositors: SDL takes its X class and its Wayland app id from these
	// variables, else from the executable, which the link resolves to
	// saverhost. Names the user set stay.
	setenv("SDL_VIDEO_X11_WMCLASS", ProgramName().c_str(), 0);
	setenv("SDL_VIDEO_WAYLAND_WMCLASS", ProgramName().c_str(), 0);
	SDL_SetHint(SDL_HINT_APP_NAME, ProgramName().c_str());

	if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
		return Error{CannotOpen(xOnly ? "no X server answers there" : SDL_GetError())};
	// Where no display answers, SDL falls back to drivers that show
	// nothing at all: unless asked for by name, that is no window.
	std::string driver = Driver();
	if ((driver == "offscreen" || driver == "dummy") && !Named("SDL_VIDEODRIVER")) {
		SDL_QuitSubSystem(SDL_INIT_VIDEO);
		return Error{CannotOpen("no display answers")};
	}

	// On X the window's framebuffer is a shared-memory image that the X
	// server reads itself: the frame is copied once, by the saver. The
	// accelerated alternative uploads it to a texture and renders that,
	// which without a GPU (a software GL, Xvfb) costs tens of copies.
	if (driver == "x11")
		SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
	return std::make_unique<VideoSession>(Token{});
}


VideoSession::~VideoSession()
{
	SDL_QuitSubSystem(SDL_INIT_VIDEO);
}


std::string
VideoSession::Driver()
{
	const char* driver = SDL_GetCurrentVideoDriver();
	return driver != nullptr ? driver : "";
}
