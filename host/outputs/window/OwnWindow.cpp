#include "outputs/window/OwnWindow.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include "outputs/window/DisplayNames.h"

// Xlib last: its macros (None, Status, Bool...) must meet no other header.
#include <X11/Xlib.h>


using std::chrono::steady_clock;


Result<std::unique_ptr<OwnWindow>>
OwnWindow::Open(const std::string& title, Size size, bool fullscreen, XErrorWatch& errors)
{
	// Hidden until the first frame, so that the settings panel (--config)
	// comes first on its own.
	Uint32 flags = SDL_WINDOW_HIDDEN
		| (fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : SDL_WINDOW_RESIZABLE);
	SDL_Rect place{SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, size.width, size.height};
	// Made the screen's size in the first place: without a window manager
	// to carry out the request for full screen, it would keep --size.
	if (fullscreen && SDL_GetDisplayBounds(0, &place) != 0)
		place = SDL_Rect{SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, size.width,
			size.height};
	WindowPtr window(SDL_CreateWindow(title.c_str(), place.x, place.y, place.w, place.h,
		flags));
	if (!window)
		return Error{"cannot open a " + SizeText(size) + " window: " + SDL_GetError()};

	// Another program may destroy the window; on X the errors about it that
	// follow mark it gone instead of ending the process.
	SDL_SysWMinfo info;
	SDL_VERSION(&info.version);
	if (SDL_GetWindowWMInfo(window.get(), &info) && info.subsystem == SDL_SYSWM_X11)
		errors.Watch(static_cast<unsigned long>(info.info.x11.window));
	return std::make_unique<OwnWindow>(Token{}, std::move(window), title, fullscreen, errors);
}


Result<std::unique_ptr<OwnWindow>>
OwnWindow::Cover(const std::string& title, const PixelRect& monitor, XErrorWatch& errors)
{
	WindowPtr window(SDL_CreateWindow(title.c_str(), monitor.x, monitor.y, monitor.width,
		monitor.height, SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SKIP_TASKBAR));
	std::string place = SizeText(Size{monitor.width, monitor.height}) + "+"
		+ std::to_string(monitor.x) + "+" + std::to_string(monitor.y);
	if (!window)
		return Error{"cannot open a window over the monitor at " + place + ": " + SDL_GetError()};

	// Set while the window is not mapped yet, as X wants it.
	SDL_SysWMinfo info;
	SDL_VERSION(&info.version);
	if (!SDL_GetWindowWMInfo(window.get(), &info) || info.subsystem != SDL_SYSWM_X11)
		return Error{"the window over the monitor at " + place + " is no X window"};
	XSetWindowAttributes attributes{};
	attributes.override_redirect = True;
	XChangeWindowAttributes(info.info.x11.display, info.info.x11.window, CWOverrideRedirect,
		&attributes);
	return std::make_unique<OwnWindow>(Token{}, std::move(window), title, true, errors);
}


OwnWindow::OwnWindow(Token, WindowPtr window, const std::string& title, bool fullscreen,
	XErrorWatch& errors)
	:
	SaverWindow(std::move(window)),
	fTitle(title),
	fFullscreen(fullscreen),
	fErrors(errors)
{
}


void
OwnWindow::Show()
{
	if (fShown)
		return;
	fShown = true;
	SDL_ShowWindow(fWindow.get());
	if (fFullscreen)
		SDL_ShowCursor(SDL_DISABLE);
	fShownAt = steady_clock::now();
	fPointerSeen = false;
}


bool
OwnWindow::AsksToStop(const SDL_Event& event)
{
	switch (event.type) {
		case SDL_WINDOWEVENT:
			return event.window.windowID == SDL_GetWindowID(fWindow.get())
				&& event.window.event == SDL_WINDOWEVENT_CLOSE;
		case SDL_QUIT:
		case SDL_KEYDOWN:
		case SDL_MOUSEBUTTONDOWN:
		case SDL_MOUSEWHEEL:
		case SDL_FINGERDOWN:
			return true;
		case SDL_MOUSEMOTION:
			return _PointerMoved(event.motion.x, event.motion.y);
	}
	return false;
}


bool
OwnWindow::_PointerMoved(int x, int y)
{
	// On the screen, so that a window moved under a still pointer is no
	// motion.
	int left = 0;
	int top = 0;
	SDL_GetWindowPosition(fWindow.get(), &left, &top);
	x += left;
	y += top;
	// While the window settles (mapped, placed, entered by a pointer that
	// has not moved) the pointer's place is only noted, as it is the first
	// time the pointer is seen at all.
	if (!fPointerSeen || !fShown || steady_clock::now() - fShownAt < kSettleTime) {
		fPointerX = x;
		fPointerY = y;
		fPointerSeen = true;
		return false;
	}
	long dx = x - fPointerX;
	long dy = y - fPointerY;
	return dx * dx + dy * dy >= static_cast<long>(kJitterPixels) * kJitterPixels;
}


void
OwnWindow::ShowInTitle(const std::string& text)
{
	// ASCII: SDL's X11 titles lose anything else in the C locale the host
	// runs in.
	SDL_SetWindowTitle(fWindow.get(), (fTitle + " - " + text).c_str());
}
