#include "outputs/window/X11IdleWatch.h"

#include <poll.h>
#include <time.h>

#include <algorithm>
#include <cerrno>

#include "base/SignalHold.h"
#include "outputs/window/DisplayNames.h"

// Xlib last: its macros (None, Status, Bool...) must meet no other header.
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>


using std::chrono::milliseconds;


Result<void>
X11IdleWatch::Open(std::chrono::seconds idle)
{
	Result<XConnection> connection = OpenXConnection("--idle");
	if (!connection)
		return Error{connection.Message()};
	int eventBase = 0;
	int errorBase = 0;
	if (!XScreenSaverQueryExtension(connection.Value().get(), &eventBase, &errorBase)) {
		return Error{"the X server of display \"" + DisplayName() + "\" has no "
			"MIT-SCREEN-SAVER extension, which --idle needs to know how long the session has "
			"gone without input"};
	}
	fConnection = std::move(connection.Value());
	fIdle = idle;
	fOpenedAt = std::chrono::steady_clock::now();
	return {};
}


bool
X11IdleWatch::WaitForIdle()
{
	// A signal ends the wait, and arrives as the hold goes.
	SignalHold signals;
	while (true) {
		milliseconds idle = _IdleTime();
		if (fReported && idle < *fReported)
			fReported.reset();
		else if (fReported)
			fReported = idle;
		if (!fReported && idle >= fIdle) {
			fReported = idle;
			return true;
		}
		// Input meanwhile only puts the moment off: asked again then.
		milliseconds wait = fReported ? kInputCheck : fIdle - idle;
		if (!_Sleep(wait, signals))
			return false;
	}
}


milliseconds
X11IdleWatch::_IdleTime()
{
	auto watched = std::chrono::duration_cast<milliseconds>(
		std::chrono::steady_clock::now() - fOpenedAt);
	XScreenSaverInfo info{};
	if (!XScreenSaverQueryInfo(fConnection.get(), DefaultRootWindow(fConnection.get()), &info))
		return milliseconds(0);
	return std::min(watched, milliseconds(info.idle));
}


// False when a signal came.
bool
X11IdleWatch::_Sleep(milliseconds time, const SignalHold& signals)
{
	if (signals.Arrived())
		return false;
	timespec timeout{static_cast<time_t>(time.count() / 1000),
		static_cast<long>(time.count() % 1000) * 1'000'000L};
	return !(ppoll(nullptr, 0, &timeout, &signals.Previous()) < 0 && errno == EINTR);
}
