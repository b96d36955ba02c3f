#include "outputs/window/EventWait.h"

#include <poll.h>

#include <cerrno>
#include <algorithm>

#include <SDL_syswm.h>

// Xlib last: its macros (None, Status, Bool...) must meet no other header.
#include <X11/Xlib.h>


EventWait::EventWait(SDL_Window* window)
{
	SDL_SysWMinfo info;
	SDL_VERSION(&info.version);
	if (window != nullptr && SDL_GetWindowWMInfo(window, &info)
		&& info.subsystem == SDL_SYSWM_X11) {
		fDisplay = info.info.x11.display;
		fConnection = ConnectionNumber(info.info.x11.display);
	}
}


bool
EventWait::Wait(int milliseconds, const SignalHold& hold, std::optional<SDL_Event>& taken)
{
	taken.reset();
	if (hold.Arrived())
		return false;
	if (fConnection < 0) {
		SDL_Event event;
		if (SDL_WaitEventTimeout(&event, std::min(milliseconds,
				SignalHold::kCheckMilliseconds)))
			taken = event;
		return !hold.Arrived();
	}

	// SDL's queue and Xlib's are empty, as the caller has taken every event:
	// what the server sends next is readable on the connection. What SDL
	// asked of the server goes out first.
	XFlush(static_cast<Display*>(fDisplay));
	pollfd connection{fConnection, POLLIN, 0};
	timespec timeout{milliseconds / 1000, (milliseconds % 1000) * 1'000'000L};
	return !(ppoll(&connection, 1, &timeout, &hold.Previous()) < 0 && errno == EINTR);
}
