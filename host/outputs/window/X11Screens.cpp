#include "outputs/window/X11Screens.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include <SDL.h>
#include <SDL_syswm.h>

#include "base/Report.h"
#include "base/SignalHold.h"
#include "outputs/pictures/WindowTitle.h"
#include "outputs/window/DisplayNames.h"
#include "outputs/window/InputGrab.h"
#include "outputs/window/MonitorLayout.h"
#include "outputs/window/OwnWindow.h"
#include "outputs/window/VideoSession.h"
#include "outputs/window/WindowOutput.h"
#include "outputs/window/XErrorWatch.h"

// Xlib last: its macros (None, Status, Bool...) must meet no other header.
#include <X11/Xlib.h>


namespace {

using std::chrono::steady_clock;


bool
SamePlace(const PixelRect& one, const PixelRect& other)
{
	return one.x == other.x && one.y == other.y && one.width == other.width
		&& one.height == other.height;
}


// The window an event of SDL's is about, or 0 for none.
Uint32
EventWindow(const SDL_Event& event)
{
	switch (event.type) {
		case SDL_WINDOWEVENT:
			return event.window.windowID;
		case SDL_KEYDOWN:
		case SDL_KEYUP:
			return event.key.windowID;
		case SDL_MOUSEMOTION:
			return event.motion.windowID;
		case SDL_MOUSEBUTTONDOWN:
		case SDL_MOUSEBUTTONUP:
			return event.button.windowID;
		case SDL_MOUSEWHEEL:
			return event.wheel.windowID;
	}
	return 0;
}

}	// namespace


X11Screens::X11Screens() = default;
X11Screens::~X11Screens() = default;


Result<void>
X11Screens::Open(const Options& options)
{
	fTitle = WindowTitle(options.modulePath);
	Result<XConnection> connection = OpenXConnection("--screensaver");
	if (!connection)
		return Error{connection.Message()};
	fConnection = std::move(connection.Value());
	// The root window's children are watched for a locker's window.
	fLayout = std::make_unique<MonitorLayout>(fConnection.get(), SubstructureNotifyMask);

	fErrors = std::make_unique<XErrorWatch>();
	fErrors->Quiet(fConnection.get());
	Result<std::unique_ptr<VideoSession>> video
		= VideoSession::Start(VideoSession::Use::EveryMonitor);
	if (!video)
		return Error{video.Message()};
	fVideo = std::move(video.Value());
	if (VideoSession::Driver() != "x11")
		return Error{"--screensaver covers the monitors of X; SDL runs on "
			+ VideoSession::Driver()};

	if (Result<void> covered = _Cover(fLayout->Monitors()); !covered)
		return covered;
	fGrab = std::make_unique<InputGrab>(fConnection.get());
	XFlush(fConnection.get());
	return {};
}


// A window over each place: those over a place already covered stay, with
// their savers; the others are made before the windows of places that went
// are destroyed, so that no new output has the address of one that went.
// A window that cannot be made leaves its place uncovered, and says why.
Result<void>
X11Screens::_Cover(const std::vector<PixelRect>& places)
{
	std::vector<Monitor> covered;
	std::string failure;
	for (const PixelRect& place : places) {
		auto kept = std::find_if(fMonitors.begin(), fMonitors.end(), [&](const Monitor& monitor) {
			return monitor.output && SamePlace(monitor.place, place);
		});
		if (kept != fMonitors.end()) {
			covered.push_back(std::move(*kept));
			continue;
		}
		Result<std::unique_ptr<OwnWindow>> window = OwnWindow::Cover(fTitle, place, *fErrors);
		if (!window) {
			failure = window.Message();
			continue;
		}
		// Made by OwnWindow::Cover(), it is an X window.
		SDL_SysWMinfo info;
		SDL_VERSION(&info.version);
		SDL_GetWindowWMInfo(window.Value()->Get(), &info);
		fVideoDisplay = info.info.x11.display;
		fVideoConnection = ConnectionNumber(info.info.x11.display);
		Uint32 id = SDL_GetWindowID(window.Value()->Get());
		covered.push_back(Monitor{place, id, info.info.x11.window,
			std::make_unique<WindowOutput>(std::move(window.Value()))});
	}
	fMonitors = std::move(covered);
	if (!failure.empty())
		return Error{failure};
	return {};
}


std::vector<Output*>
X11Screens::Monitors()
{
	std::vector<Output*> outputs;
	for (const Monitor& monitor : fMonitors)
		outputs.push_back(monitor.output.get());
	return outputs;
}


ScreenEvents
X11Screens::WaitUntil(steady_clock::time_point deadline)
{
	ScreenEvents events;
	// A signal ends the wait, and arrives as the hold goes.
	SignalHold signals;
	while (true) {
		SDL_Event event;
		while (SDL_PollEvent(&event))
			_Dispatch(event);
		_ReadConnection(events);
		bool pending = std::any_of(fMonitors.begin(), fMonitors.end(),
			[](const Monitor& monitor) { return monitor.output->Pending(); });
		if (events.quit || events.changed || pending)
			break;
		// What a round trip of the grab or the layout read meanwhile.
		if (XQLength(fConnection.get()) > 0)
			continue;
		if (!_Wait(deadline, signals))
			break;
	}
	return events;
}


// Events of SDL's go to the monitor whose window they are about; those about
// no window of a monitor's, to the first.
void
X11Screens::_Dispatch(const SDL_Event& event)
{
	if (fMonitors.empty())
		return;
	Uint32 window = EventWindow(event);
	auto about = std::find_if(fMonitors.begin(), fMonitors.end(),
		[&](const Monitor& monitor) { return monitor.window == window; });
	(about != fMonitors.end() ? *about : fMonitors.front()).output->Take(event);
}


// What came on the host's own connection: the user's input, and changes of
// the monitors.
void
X11Screens::_ReadConnection(ScreenEvents& events)
{
	fGrab->Take();
	bool mayHaveChanged = false;
	while (XPending(fConnection.get()) > 0) {
		XEvent event;
		XNextEvent(fConnection.get(), &event);
		if (fGrab->EndsRun(event) || _LockerCame(event))
			events.quit = true;
		else if (fLayout->MayHaveChanged(event))
			mayHaveChanged = true;
	}
	if (mayHaveChanged)
		_FollowLayout(events);
}


void
X11Screens::_FollowLayout(ScreenEvents& events)
{
	std::vector<PixelRect> places = fLayout->Monitors();
	bool same = places.size() == fMonitors.size()
		&& std::equal(places.begin(), places.end(), fMonitors.begin(),
			[](const PixelRect& place, const Monitor& monitor) {
				return SamePlace(place, monitor.place);
			});
	if (same)
		return;
	if (Result<void> covered = _Cover(places); !covered)
		Report(covered.Message());
	events.changed = true;
}


// A locker (one that xss-lock starts on X's own idle timeout) maps a window
// of its own over the screen and then takes the keyboard and the pointer:
// the saver lets go of them at once and ends, or the locker could not lock.
bool
X11Screens::_LockerCame(const XEvent& event)
{
	if (event.type != MapNotify || !event.xmap.override_redirect
		|| std::any_of(fMonitors.begin(), fMonitors.end(), [&](const Monitor& monitor) {
			return monitor.xWindow == event.xmap.window;
		}))
		return false;
	XWindowAttributes window;
	if (XGetWindowAttributes(fConnection.get(), event.xmap.window, &window) == 0)
		return false;
	bool covers = std::any_of(fMonitors.begin(), fMonitors.end(), [&](const Monitor& monitor) {
		return window.x <= monitor.place.x && window.y <= monitor.place.y
			&& window.x + window.width >= monitor.place.x + monitor.place.width
			&& window.y + window.height >= monitor.place.y + monitor.place.height;
	});
	if (!covers)
		return false;
	fGrab->Release();
	Report("another program covered the screen (a locker?); the saver steps aside");
	return true;
}


// Waits on both connections until the deadline, or until either has
// something to read or a signal comes; false when the deadline passed or a
// signal came.
bool
X11Screens::_Wait(steady_clock::time_point deadline, const SignalHold& signals)
{
	steady_clock::time_point now = steady_clock::now();
	if (now >= deadline || signals.Arrived())
		return false;
	// Rounded up: a wait that ends a little short of the deadline would spin
	// through its last millisecond.
	long long milliseconds = std::clamp<long long>(
		std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count(), 1, INT_MAX);

	XFlush(fConnection.get());
	if (fVideoDisplay != nullptr)
		XFlush(static_cast<Display*>(fVideoDisplay));
	pollfd connections[2] = {{ConnectionNumber(fConnection.get()), POLLIN, 0},
		{fVideoConnection, POLLIN, 0}};
	timespec timeout{static_cast<time_t>(milliseconds / 1000),
		static_cast<long>(milliseconds % 1000) * 1'000'000L};
	return !(ppoll(connections, fVideoConnection >= 0 ? 2 : 1, &timeout, &signals.Previous()) < 0
		&& errno == EINTR);
}
