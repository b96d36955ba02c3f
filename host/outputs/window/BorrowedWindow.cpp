#include "outputs/window/BorrowedWindow.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include "base/Report.h"
#include "outputs/window/DisplayNames.h"
#include "outputs/window/VideoSession.h"

// Xlib last: its macros (None, Status, Bool...) must meet no other header.
#include <X11/Xlib.h>


namespace {

// Asks for the window's changes of size, its mapping and its end, and for
// its exposures (after which the whole picture is sent again), on SDL's own
// connection (SDL asks for no events of a window it did not make), and waits
// until the server has it, so that no change after Open() is missed.
void
FollowChanges(SDL_Window* window, unsigned long id)
{
	SDL_SysWMinfo info;
	SDL_VERSION(&info.version);
	if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
		Display* sdlConnection = info.info.x11.display;
		XWindowAttributes current;
		if (XGetWindowAttributes(sdlConnection, id, &current) != 0) {
			XSelectInput(sdlConnection, id,
				current.your_event_mask | StructureNotifyMask | ExposureMask);
			XSync(sdlConnection, False);
		}
	}
	SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

}	// namespace


Result<std::unique_ptr<BorrowedWindow>>
BorrowedWindow::Open(std::optional<unsigned long> given, XErrorWatch& errors)
{
	if (VideoSession::Driver() != "x11") {
		return Error{"--window-id and --root need an X display; SDL runs on "
			+ VideoSession::Driver()};
	}

	// The window is looked at first, on a connection of the host's own: SDL
	// takes any id on trust, and a wrong one would end the process in Xlib.
	std::string display = DisplayName();
	Display* connection = XOpenDisplay(nullptr);
	if (connection == nullptr)
		return Error{"cannot open display \"" + display + "\""};
	unsigned long id = given ? *given : DefaultRootWindow(connection);
	errors.Watch(id);
	XWindowAttributes attributes;
	bool found = id != 0 && XGetWindowAttributes(connection, id, &attributes) != 0
		&& !errors.Gone();
	XCloseDisplay(connection);
	if (!found)
		return Error{"no window " + WindowIdText(id) + " on display \"" + display + "\""};
	if (attributes.c_class == InputOnly)
		return Error{"window " + WindowIdText(id) + " is input-only: it has no pixels to draw in"};

	WindowPtr window(SDL_CreateWindowFrom(reinterpret_cast<void*>(id)));
	if (!window)
		return Error{"cannot draw in window " + WindowIdText(id) + ": " + SDL_GetError()};
	FollowChanges(window.get(), id);
	return std::make_unique<BorrowedWindow>(Token{}, std::move(window), errors);
}


BorrowedWindow::BorrowedWindow(Token, WindowPtr window, XErrorWatch& errors)
	:
	SaverWindow(std::move(window)),
	fErrors(errors)
{
}


bool
BorrowedWindow::AsksToStop(const SDL_Event& event)
{
	if (event.type == SDL_SYSWMEVENT && event.syswm.msg != nullptr
		&& event.syswm.msg->subsystem == SDL_SYSWM_X11) {
		const XEvent& xEvent = event.syswm.msg->msg.x11.event;
		if (xEvent.type == DestroyNotify && xEvent.xdestroywindow.window == fErrors.Window())
			fErrors.MarkGone();
	}
	return false;
}


bool
BorrowedWindow::Gone()
{
	if (!fErrors.Gone())
		return false;
	if (!fGoneReported) {
		fGoneReported = true;
		Report("window " + WindowIdText(fErrors.Window()) + " is gone; stopping");
	}
	return true;
}
