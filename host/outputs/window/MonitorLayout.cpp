#include "outputs/window/MonitorLayout.h"

#include <algorithm>

// Xlib last: its macros (None, Status, Bool...) must meet no other header.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>


MonitorLayout::MonitorLayout(_XDisplay* connection, long rootEvents)
	:
	fConnection(connection)
{
	Window root = DefaultRootWindow(connection);
	int errorBase = 0;
	int major = 0;
	int minor = 0;
	if (XRRQueryExtension(connection, &fEventBase, &errorBase)
		&& XRRQueryVersion(connection, &major, &minor)) {
		fListsMonitors = major > 1 || (major == 1 && minor >= 5);
		XRRSelectInput(connection, root, RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask
			| RROutputChangeNotifyMask);
	} else {
		fEventBase = -1;
	}
	XSelectInput(connection, root, StructureNotifyMask | rootEvents);
}


std::vector<PixelRect>
MonitorLayout::Monitors() const
{
	std::vector<PixelRect> monitors;
	int count = 0;
	XRRMonitorInfo* listed = fListsMonitors
		? XRRGetMonitors(fConnection, DefaultRootWindow(fConnection), True, &count) : nullptr;
	for (int i = 0; i < count; i++) {
		PixelRect monitor{listed[i].x, listed[i].y, listed[i].width, listed[i].height};
		bool seen = std::any_of(monitors.begin(), monitors.end(), [&](const PixelRect& other) {
			return other.x == monitor.x && other.y == monitor.y
				&& other.width == monitor.width && other.height == monitor.height;
		});
		if (!seen && monitor.width > 0 && monitor.height > 0)
			monitors.push_back(monitor);
	}
	if (listed != nullptr)
		XRRFreeMonitors(listed);

	if (monitors.empty()) {
		XWindowAttributes root;
		if (XGetWindowAttributes(fConnection, DefaultRootWindow(fConnection), &root) != 0)
			monitors.push_back(PixelRect{0, 0, root.width, root.height});
	}
	return monitors;
}


bool
MonitorLayout::MayHaveChanged(XEvent& event) const
{
	if (fEventBase >= 0 && (event.type == fEventBase + RRScreenChangeNotify
			|| event.type == fEventBase + RRNotify)) {
		XRRUpdateConfiguration(&event);
		return true;
	}
	return event.type == ConfigureNotify
		&& event.xconfigure.window == DefaultRootWindow(fConnection);
}
