// A surface as an xdg-shell toplevel window: the saver's own window, its
// settings, and where the compositor has no layer-shell (GNOME), a window
// filling each monitor.
#ifndef SAVERHOST_TOPLEVEL_ROLE_H
#define SAVERHOST_TOPLEVEL_ROLE_H

#include <optional>
#include <string>

#include "outputs/wayland/SurfaceRole.h"
#include "outputs/wayland/WaylandProtocols.h"

class ToplevelRole : public SurfaceRole {
public:
	// Where the window goes: filling a monitor (the one given, or for null
	// the one the compositor picks); or of one size and no other, which
	// tiling compositors float instead of fitting it into their tiles.
	struct Placement {
		bool fullscreen = false;
		wl_output* monitor = nullptr;
		std::optional<Size> fixedSize;
	};

	// A window titled title, committed once without a buffer, as the
	// compositor's first configure asks.
	ToplevelRole(xdg_wm_base* windowManager, wl_surface* surface, const std::string& title,
		const Placement& placement);
	~ToplevelRole() override;

	void SetTitle(const std::string& title);

private:
	void _Acknowledge(uint32_t serial) override;

	static const struct xdg_surface_listener kSurfaceListener;
	static const struct xdg_toplevel_listener kToplevelListener;
	static struct xdg_toplevel_listener _ToplevelListener();

	WaylandPtr<xdg_surface> fSurface;
	WaylandPtr<xdg_toplevel> fToplevel;
	// The size the toplevel's configure gives, taken with the surface's.
	Size fPending;
};

#endif	// SAVERHOST_TOPLEVEL_ROLE_H
