#include "outputs/wayland/ToplevelRole.h"

#include "base/Report.h"


const xdg_surface_listener ToplevelRole::kSurfaceListener = {
	[](void* data, xdg_surface*, uint32_t serial) {
		ToplevelRole* role = static_cast<ToplevelRole*>(data);
		role->_Configure(serial, role->fPending);
	},
};


const xdg_toplevel_listener ToplevelRole::kToplevelListener = ToplevelRole::_ToplevelListener();


// Bound at version 1: configure and close are all that come.
xdg_toplevel_listener
ToplevelRole::_ToplevelListener()
{
	xdg_toplevel_listener listener{};
	listener.configure = [](void* data, xdg_toplevel*, int32_t width, int32_t height,
		wl_array*) {
		static_cast<ToplevelRole*>(data)->fPending = Size{width, height};
	};
	listener.close = [](void* data, xdg_toplevel*) {
		static_cast<ToplevelRole*>(data)->fClosed = true;
	};
	return listener;
}


ToplevelRole::ToplevelRole(xdg_wm_base* windowManager, wl_surface* surface,
	const std::string& title, const Placement& placement)
	:
	fSurface(xdg_wm_base_get_xdg_surface(windowManager, surface)),
	fToplevel(xdg_surface_get_toplevel(fSurface.get()))
{
	xdg_surface_add_listener(fSurface.get(), &kSurfaceListener, this);
	xdg_toplevel_add_listener(fToplevel.get(), &kToplevelListener, this);
	xdg_toplevel_set_title(fToplevel.get(), title.c_str());
	// The name saverhost was run by (dustglow as the screen saver), for the
	// compositor's rules and lists.
	xdg_toplevel_set_app_id(fToplevel.get(), ProgramName().c_str());
	if (placement.fullscreen)
		xdg_toplevel_set_fullscreen(fToplevel.get(), placement.monitor);
	if (Size size = placement.fixedSize.value_or(Size{}); size.width > 0 && size.height > 0) {
		xdg_toplevel_set_min_size(fToplevel.get(), size.width, size.height);
		xdg_toplevel_set_max_size(fToplevel.get(), size.width, size.height);
	}
	wl_surface_commit(surface);
}


// The toplevel goes before its xdg_surface, as xdg-shell requires.
ToplevelRole::~ToplevelRole()
{
	fToplevel.reset();
	fSurface.reset();
}


void
ToplevelRole::SetTitle(const std::string& title)
{
	xdg_toplevel_set_title(fToplevel.get(), title.c_str());
}


void
ToplevelRole::_Acknowledge(uint32_t serial)
{
	xdg_surface_ack_configure(fSurface.get(), serial);
}
