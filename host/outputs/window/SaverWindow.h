// The window the frames go to, as the window output drives it: the saver's
// own (OwnWindow), or one that another program made and lends, such as a
// screen-saver daemon's or the root window (BorrowedWindow). The output
// draws and waits the same way in both; what differs is how the window
// comes and goes, and what the user's input means in it.
#ifndef SAVERHOST_SAVER_WINDOW_H
#define SAVERHOST_SAVER_WINDOW_H

#include <memory>
#include <string>

struct SDL_Window;
union SDL_Event;

struct WindowCloser {
	void operator()(SDL_Window* window) const;
};
using WindowPtr = std::unique_ptr<SDL_Window, WindowCloser>;

class SaverWindow {
public:
	virtual ~SaverWindow() = default;

	SDL_Window* Get() const { return fWindow.get(); }

	// Puts the window on the screen, before its first picture.
	virtual void Show() = 0;
	// Whether an event of SDL's, other than a change of the window's size,
	// asks the run to stop.
	virtual bool AsksToStop(const SDL_Event& event) = 0;
	// The window was destroyed under the host; said once on standard error.
	virtual bool Gone() { return false; }
	// Nobody can see the window: it is minimized or not mapped.
	virtual bool OutOfSight() const;

	// A title bar shows the --fps figures; where there is none, the output
	// shows them over the picture.
	virtual bool HasTitle() const = 0;
	virtual void ShowInTitle(const std::string&) {}

protected:
	explicit SaverWindow(WindowPtr window) : fWindow(std::move(window)) {}

	WindowPtr fWindow;
};

#endif	// SAVERHOST_SAVER_WINDOW_H
