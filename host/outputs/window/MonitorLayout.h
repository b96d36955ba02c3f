// The monitors of an X screen as RandR lists them (XRRGetMonitors): one for
// each output that shows a picture, or the monitors `xrandr --setmonitor`
// defines in their place. Without RandR 1.5 the whole screen is one
// monitor.
#ifndef SAVERHOST_MONITOR_LAYOUT_H
#define SAVERHOST_MONITOR_LAYOUT_H

#include <vector>

#include "base/Damage.h"

struct _XDisplay;
union _XEvent;

class MonitorLayout {
public:
	// Asks connection's server for the events that come when the monitors
	// may have changed: RandR's own, and the root window's change of
	// configuration, the only one a monitor set or deleted sends; and for
	// the root window's other events in rootEvents (an Xlib event mask).
	MonitorLayout(_XDisplay* connection, long rootEvents);

	// Their rectangles on the root window, each once: mirrored outputs show
	// one picture.
	std::vector<PixelRect> Monitors() const;

	// The event may mean that they changed.
	bool MayHaveChanged(_XEvent& event) const;

private:
	_XDisplay* fConnection;
	int fEventBase = -1;
	bool fListsMonitors = false;
};

#endif	// SAVERHOST_MONITOR_LAYOUT_H
