#include "outputs/wayland/WaylandIdle.h"

#include <algorithm>
#include <csignal>
#include <cstdint>

#include "base/Report.h"
#include "base/SignalHold.h"
#include "outputs/wayland/WaylandConnection.h"


const ext_idle_notification_v1_listener WaylandIdle::kNotificationListener = {
	[](void* data, ext_idle_notification_v1*) { static_cast<WaylandIdle*>(data)->fIdles++; },
	[](void*, ext_idle_notification_v1*) {},
};


const org_kde_kwin_idle_timeout_listener WaylandIdle::kTimeoutListener = {
	[](void* data, org_kde_kwin_idle_timeout*) { static_cast<WaylandIdle*>(data)->fIdles++; },
	[](void*, org_kde_kwin_idle_timeout*) {},
};


WaylandIdle::WaylandIdle() = default;


WaylandIdle::~WaylandIdle()
{
	fTimeout.reset();
	fNotification.reset();
}


Result<void>
WaylandIdle::Open(std::chrono::seconds idle)
{
	Result<std::unique_ptr<WaylandConnection>> connected = WaylandConnection::Connect();
	if (!connected)
		return Error{connected.Message()};
	fConnection = std::move(connected.Value());
	wl_seat* seat = fConnection->Input().FirstSeat();
	if (seat == nullptr)
		return Error{"the Wayland compositor has no seat whose input could be watched"};

	auto milliseconds = static_cast<uint32_t>(std::min<long long>(
		std::chrono::duration_cast<std::chrono::milliseconds>(idle).count(), UINT32_MAX));
	if (ext_idle_notifier_v1* notifier = fConnection->IdleNotifier()) {
		fNotification.reset(ext_idle_notifier_v1_get_idle_notification(notifier,
			milliseconds, seat));
		ext_idle_notification_v1_add_listener(fNotification.get(), &kNotificationListener,
			this);
	} else if (org_kde_kwin_idle* kde = fConnection->KdeIdle()) {
		fTimeout.reset(org_kde_kwin_idle_get_idle_timeout(kde, seat, milliseconds));
		org_kde_kwin_idle_timeout_add_listener(fTimeout.get(), &kTimeoutListener, this);
	} else {
		return Error{"the Wayland compositor does not tell clients how long the session has "
			"been idle (it offers neither ext-idle-notify-v1 nor org_kde_kwin_idle, as GNOME "
			"does not): let the desktop blank the screen, or start --screensaver yourself"};
	}
	if (!fConnection->Roundtrip())
		return Error{"lost the Wayland compositor (" + fConnection->Failure() + ")"};
	return {};
}


bool
WaylandIdle::WaitForIdle()
{
	// A signal ends the wait, and arrives as the hold goes.
	SignalHold signals;
	while (fIdles == 0) {
		auto later = std::chrono::steady_clock::now() + std::chrono::hours(1);
		WaylandConnection::Wait wait = fConnection->WaitUntil(later, signals);
		if (wait == WaylandConnection::Wait::Interrupted)
			return false;
		if (wait == WaylandConnection::Wait::Lost) {
			// The session is over: as a terminal's hangup ends what runs in
			// it, the compositor's end ends the wait for good.
			Report("lost the Wayland compositor (" + fConnection->Failure() + ")");
			raise(SIGHUP);
			return false;
		}
	}
	fIdles--;
	return true;
}
