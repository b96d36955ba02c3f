// A connection of the host's own to the X server that DISPLAY names, apart
// from SDL's: for what SDL does not do (RandR's monitors, the grab of the
// keyboard and the pointer, the server's count of idle time). Closed when
// it goes.
#ifndef SAVERHOST_X_CONNECTION_H
#define SAVERHOST_X_CONNECTION_H

#include <memory>
#include <string>

#include "base/Result.h"

struct _XDisplay;

struct XConnectionCloser {
	void operator()(_XDisplay* display) const;
};
using XConnection = std::unique_ptr<_XDisplay, XConnectionCloser>;

// The connection, or why there is none (no DISPLAY, no server, or the
// XWayland of a Wayland session); option names what needs it in the
// message ("--idle").
Result<XConnection> OpenXConnection(const std::string& option);

#endif	// SAVERHOST_X_CONNECTION_H
