// Xlib's default answer to an X error is to end the process. While the
// window output exists, these errors are taken in stride instead:
// - one about a watched window, which another program may destroy under the
//   host (a daemon its own, xdotool windowclose the saver's): the window is
//   marked gone, and the run ends; after that, any BadWindow or BadDrawable,
//   which SDL's handling of the window's last events can still cause;
// - BadWindow about window 0, which SDL looks up as the parent of a root
//   window that RANDR resized;
// - BadWindow on a SendEvent: SDL wakes its event wait with a message to a
//   window over a second connection, and a window destroyed at the same
//   moment (closing the settings, the end of a run) makes that message fail.
// - any error on a connection of the host's own that asks about other
//   programs' windows, which may go at any moment (Quiet()).
// Every other error goes to the handler that was there before. Installed
// before SDL starts and removed after it stops, so that SDL's own handler
// passes errors on to this one. One at a time.
#ifndef SAVERHOST_X_ERROR_WATCH_H
#define SAVERHOST_X_ERROR_WATCH_H

struct _XDisplay;

class XErrorWatch {
public:
	XErrorWatch();
	~XErrorWatch();

	XErrorWatch(const XErrorWatch&) = delete;
	XErrorWatch& operator=(const XErrorWatch&) = delete;

	void Watch(unsigned long window);
	unsigned long Window() const;
	// The watched window is known to be destroyed.
	bool Gone() const;
	void MarkGone();
	// Errors on the connection are taken in stride, while the watch lasts.
	void Quiet(_XDisplay* connection);
};

#endif	// SAVERHOST_X_ERROR_WATCH_H
