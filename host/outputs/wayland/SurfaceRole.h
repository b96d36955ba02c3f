// What the compositor asks of a surface through its role (an xdg-shell
// toplevel window, a layer-shell layer): a size, to be acknowledged before
// the commit that follows; or that the surface go.
#ifndef SAVERHOST_SURFACE_ROLE_H
#define SAVERHOST_SURFACE_ROLE_H

#include <cstdint>

#include "base/Size.h"

class SurfaceRole {
public:
	virtual ~SurfaceRole() = default;

	// Configured at least once: the surface may be given a buffer.
	bool Configured() const { return fConfigured; }
	// The size asked for last, in the compositor's coordinates; a side is 0
	// where the compositor leaves it to the client.
	Size Requested() const { return fRequested; }
	// The compositor asked the client to close the surface, or took it away.
	bool Closed() const { return fClosed; }

	// Acknowledges the latest configure, once: called as its size is taken,
	// which the next commit shows. A configure that came since is left for
	// the next look, so that no commit answers a size it does not have.
	void Acknowledge()
	{
		if (fUnacknowledged) {
			_Acknowledge(fSerial);
			fUnacknowledged = false;
		}
	}

protected:
	virtual void _Acknowledge(uint32_t serial) = 0;

	void _Configure(uint32_t serial, Size size)
	{
		fSerial = serial;
		fRequested = size;
		fConfigured = true;
		fUnacknowledged = true;
	}

	bool fClosed = false;

private:
	uint32_t fSerial = 0;
	Size fRequested;
	bool fConfigured = false;
	bool fUnacknowledged = false;
};

#endif	// SAVERHOST_SURFACE_ROLE_H
