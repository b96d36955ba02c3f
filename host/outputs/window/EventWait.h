// Waiting for the window's events in a way that a signal ends at once: SDL's
// own wait sleeps through signals. On X it is a ppoll() of SDL's connection
// to the server that lets the signals a SignalHold holds in while it sleeps;
// elsewhere it is SDL's wait, in pieces short enough to look for a held
// signal in between.
#ifndef SAVERHOST_EVENT_WAIT_H
#define SAVERHOST_EVENT_WAIT_H

#include <optional>

#include <SDL.h>

#include "base/SignalHold.h"

class EventWait {
public:
	explicit EventWait(SDL_Window* window);

	// Once SDL's queue is empty: waits up to milliseconds for the display to
	// send something, or for a signal that hold holds. Puts the event SDL's
	// wait took from its queue, if it was that wait, in taken. False when a
	// signal came: it has been handled, or arrives as the hold goes.
	bool Wait(int milliseconds, const SignalHold& hold, std::optional<SDL_Event>& taken);

private:
	// SDL's connection to the X server, or -1.
	int fConnection = -1;
	void* fDisplay = nullptr;
};

#endif	// SAVERHOST_EVENT_WAIT_H
