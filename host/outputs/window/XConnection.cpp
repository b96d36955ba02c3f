#include "outputs/window/XConnection.h"

#include "outputs/window/DisplayNames.h"

// Xlib last: its macros (None, Status, Bool...) must meet no other header.
#include <X11/Xlib.h>


void
XConnectionCloser::operator()(_XDisplay* display) const
{
	XCloseDisplay(display);
}


Result<XConnection>
OpenXConnection(const std::string& option)
{
	if (!Named("DISPLAY")) {
		return Error{option + " needs an X display here, and DISPLAY is not set; run it in "
			"the X session"};
	}
	// Beside a Wayland compositor the X server is XWayland, which sees the
	// input of X programs alone: no account of the session's idleness, and
	// no grab that keeps a key from a Wayland window.
	if (Named("WAYLAND_DISPLAY")) {
		return Error{option + " does not work through XWayland, which sees only the input "
			"of X programs (WAYLAND_DISPLAY is set)"};
	}
	XConnection connection(XOpenDisplay(nullptr));
	if (!connection) {
		return Error{"cannot open display \"" + DisplayName() + "\" for " + option
			+ " (no X server answers there)"};
	}
	return Result<XConnection>(std::move(connection));
}
