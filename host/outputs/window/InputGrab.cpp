#include "outputs/window/InputGrab.h"

#include "outputs/window/OwnWindow.h"

// Xlib last: its macros (None, Status, Bool...) must meet no other header.
#include <X11/Xlib.h>


using std::chrono::steady_clock;


InputGrab::InputGrab(_XDisplay* connection)
	:
	fConnection(connection)
{
	Take();
}


InputGrab::~InputGrab()
{
	Release();
}


void
InputGrab::Release()
{
	if (fKeyboard)
		XUngrabKeyboard(fConnection, CurrentTime);
	if (fPointer)
		XUngrabPointer(fConnection, CurrentTime);
	XFlush(fConnection);
	fKeyboard = false;
	fPointer = false;
	fReleased = true;
}


void
InputGrab::Take()
{
	if (fReleased)
		return;
	Window root = DefaultRootWindow(fConnection);
	if (!fKeyboard) {
		fKeyboard = XGrabKeyboard(fConnection, root, False, GrabModeAsync, GrabModeAsync,
			CurrentTime) == GrabSuccess;
	}
	if (fPointer)
		return;
	// The pointer keeps the look each window gives it: none over the saver.
	fPointer = XGrabPointer(fConnection, root, False, ButtonPressMask | PointerMotionMask,
		GrabModeAsync, GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
	if (!fPointer)
		return;
	fTakenAt = steady_clock::now();
	Window rootReturn;
	Window child;
	int windowX;
	int windowY;
	unsigned int buttons;
	XQueryPointer(fConnection, root, &rootReturn, &child, &fPointerX, &fPointerY, &windowX,
		&windowY, &buttons);
}


bool
InputGrab::EndsRun(const XEvent& event)
{
	switch (event.type) {
		case KeyPress:
		case ButtonPress:
			return true;
		case MotionNotify:
			return _PointerMoved(event.xmotion.x_root, event.xmotion.y_root);
	}
	return false;
}


// As in a window of the host's own: while the windows settle, the pointer's
// place is only noted, and a move of less than a few pixels is jitter.
bool
InputGrab::_PointerMoved(int x, int y)
{
	if (steady_clock::now() - fTakenAt < OwnWindow::kSettleTime) {
		fPointerX = x;
		fPointerY = y;
		return false;
	}
	long dx = x - fPointerX;
	long dy = y - fPointerY;
	return dx * dx + dy * dy >= static_cast<long>(OwnWindow::kJitterPixels)
		* OwnWindow::kJitterPixels;
}
