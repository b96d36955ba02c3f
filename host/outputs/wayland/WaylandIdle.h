// How long the Wayland session has gone without input, as the compositor
// tells: ext-idle-notify-v1, or org_kde_kwin_idle where only that is offered
// (sway 1.7). Both count the compositor's idle inhibitors (a video playing,
// a presentation): while one holds, the session is never idle. GNOME offers
// neither to clients.
#ifndef SAVERHOST_WAYLAND_IDLE_H
#define SAVERHOST_WAYLAND_IDLE_H

#include <memory>

#include "outputs/IdleWatch.h"
#include "outputs/wayland/WaylandProtocols.h"

class WaylandConnection;

class WaylandIdle : public IdleWatch {
public:
	WaylandIdle();
	~WaylandIdle() override;

	Result<void> Open(std::chrono::seconds idle) override;
	bool WaitForIdle() override;

private:
	static const struct ext_idle_notification_v1_listener kNotificationListener;
	static const struct org_kde_kwin_idle_timeout_listener kTimeoutListener;

	// The notification goes before the connection it was made on.
	std::unique_ptr<WaylandConnection> fConnection;
	WaylandPtr<ext_idle_notification_v1> fNotification;
	WaylandPtr<org_kde_kwin_idle_timeout> fTimeout;
	// Stretches of idleness the compositor told of, not yet waited for.
	int fIdles = 0;
};

#endif	// SAVERHOST_WAYLAND_IDLE_H
