#include "outputs/wayland/WaylandScreens.h"

#include <algorithm>

#include "base/SignalHold.h"
#include "outputs/pictures/WindowTitle.h"
#include "outputs/wayland/ScreenMonitor.h"
#include "outputs/wayland/WaylandConnection.h"


using std::chrono::steady_clock;


WaylandScreens::WaylandScreens() = default;
WaylandScreens::~WaylandScreens() = default;


Result<void>
WaylandScreens::Open(const Options& options)
{
	Result<std::unique_ptr<WaylandConnection>> connected = WaylandConnection::Connect();
	if (!connected)
		return Error{connected.Message()};
	fConnection = std::move(connected.Value());
	if (fConnection->LayerShell() == nullptr && fConnection->WindowManager() == nullptr)
		return Error{"the Wayland compositor offers neither wlr-layer-shell nor xdg-shell"};
	fConnection->Input().HidePointer();

	auto follow = [this, title = WindowTitle(options.modulePath)](
		const WaylandConnection::Monitor& monitor, bool added) {
		if (added) {
			fMonitors.push_back(std::make_unique<ScreenMonitor>(*fConnection, monitor, title));
			fAdded = true;
			return;
		}
		for (const std::unique_ptr<ScreenMonitor>& screen : fMonitors) {
			if (screen->Name() == monitor.name)
				screen->Went();
		}
	};
	for (const std::unique_ptr<WaylandConnection::Monitor>& monitor : fConnection->Monitors())
		follow(*monitor, true);
	fConnection->FollowMonitors(follow);
	fAdded = false;
	if (fMonitors.empty())
		return Error{"the Wayland compositor has no monitor to cover"};
	return {};
}


std::vector<Output*>
WaylandScreens::Monitors()
{
	std::vector<Output*> monitors;
	for (const std::unique_ptr<ScreenMonitor>& monitor : fMonitors) {
		if (!monitor->Gone())
			monitors.push_back(monitor.get());
	}
	return monitors;
}


// Destroys the monitors that went, now that nobody holds them; whether any did.
bool
WaylandScreens::_DropGone()
{
	size_t before = fMonitors.size();
	fMonitors.erase(std::remove_if(fMonitors.begin(), fMonitors.end(),
		[](const std::unique_ptr<ScreenMonitor>& monitor) { return monitor->Gone(); }),
		fMonitors.end());
	return fMonitors.size() != before;
}


// Something the run must hear of at once.
bool
WaylandScreens::_Pending() const
{
	if (fAdded || fConnection->Lost() || fConnection->Input().Touched())
		return true;
	return std::any_of(fMonitors.begin(), fMonitors.end(),
		[](const std::unique_ptr<ScreenMonitor>& monitor) {
			return monitor->Gone() || monitor->AskedToClose() || monitor->BackInSight();
		});
}


ScreenEvents
WaylandScreens::WaitUntil(steady_clock::time_point deadline)
{
	ScreenEvents events;
	if (!fConnection)
		return events;
	// A signal ends the wait, and arrives as the hold goes.
	SignalHold signals;
	while (!_Pending()) {
		if (steady_clock::now() >= deadline) {
			for (const std::unique_ptr<ScreenMonitor>& monitor : fMonitors)
				monitor->FrameDue();
			break;
		}
		if (fConnection->WaitUntil(deadline, signals) != WaylandConnection::Wait::Done)
			break;
	}
	events.quit = fConnection->Input().Touched()
		|| std::any_of(fMonitors.begin(), fMonitors.end(),
			[](const std::unique_ptr<ScreenMonitor>& monitor) {
				return monitor->AskedToClose();
			});
	fConnection->Input().Forget();
	events.changed = _DropGone() || fAdded;
	fAdded = false;
	return events;
}
