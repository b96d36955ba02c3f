// Every monitor of the Wayland compositor covered, for --screensaver and
// --idle: a layer-shell overlay on each where the compositor offers
// layer-shell (sway, Hyprland, KDE, river, Wayfire, labwc, niri), else a
// full-screen xdg-shell window on each (GNOME), one ScreenMonitor per
// monitor on one connection. Monitors that come or go while it runs are
// followed. A key, a click, the wheel, a finger or the pointer moved on any
// of them ends the run; keys are not looked up (see SeatInput).
#ifndef SAVERHOST_WAYLAND_SCREENS_H
#define SAVERHOST_WAYLAND_SCREENS_H

#include <memory>
#include <vector>

#include "outputs/Screens.h"

class ScreenMonitor;
class WaylandConnection;

class WaylandScreens : public Screens {
public:
	WaylandScreens();
	~WaylandScreens() override;

	Result<void> Open(const Options& options) override;
	std::vector<Output*> Monitors() override;
	ScreenEvents WaitUntil(std::chrono::steady_clock::time_point deadline) override;

private:
	bool _DropGone();
	bool _Pending() const;

	// The monitors go before the connection they were made on.
	std::unique_ptr<WaylandConnection> fConnection;
	std::vector<std::unique_ptr<ScreenMonitor>> fMonitors;
	// Monitors came since WaitUntil() last said so.
	bool fAdded = false;
};

#endif	// SAVERHOST_WAYLAND_SCREENS_H
