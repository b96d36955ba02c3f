#include "outputs/window/XErrorWatch.h"

// Xlib last: its macros (None, Status, Bool...) must meet no other header.
#include <X11/Xlib.h>
#include <X11/Xproto.h>


namespace {

unsigned long sWindow = 0;
bool sGone = false;
Display* sQuiet = nullptr;
XErrorHandler sPrevious = nullptr;


int
OnError(Display* display, XErrorEvent* error)
{
	if (display == sQuiet)
		return 0;
	bool badWindow = error->error_code == BadWindow || error->error_code == BadDrawable;
	if (sWindow != 0 && error->resourceid == sWindow && badWindow) {
		sGone = true;
		return 0;
	}
	// Once the window is gone, SDL may still act on events that came before
	// its end, with ids it could not look up (its parent, as the failed
	// query left it): the aftermath of the same end, not a fault.
	if (sWindow != 0 && sGone && badWindow)
		return 0;
	// SDL places a window it is told has moved through the window's parent;
	// the root window, resized by RANDR, has none, and the lookup names
	// window 0.
	if (sWindow != 0 && badWindow && error->resourceid == 0)
		return 0;
	if (error->error_code == BadWindow && error->request_code == X_SendEvent)
		return 0;
	return sPrevious != nullptr ? sPrevious(display, error) : 0;
}

}	// namespace


XErrorWatch::XErrorWatch()
{
	sWindow = 0;
	sGone = false;
	sPrevious = XSetErrorHandler(OnError);
}


XErrorWatch::~XErrorWatch()
{
	XSetErrorHandler(sPrevious);
	sWindow = 0;
	sQuiet = nullptr;
}


void
XErrorWatch::Watch(unsigned long window)
{
	sWindow = window;
}


unsigned long
XErrorWatch::Window() const
{
	return sWindow;
}


bool
XErrorWatch::Gone() const
{
	return sWindow != 0 && sGone;
}


void
XErrorWatch::MarkGone()
{
	sGone = true;
}


void
XErrorWatch::Quiet(_XDisplay* connection)
{
	sQuiet = connection;
}
