// The Wayland protocols the native Wayland output speaks (their C bindings,
// made by wayland-scanner at build time: see Protocols.cmake), and owning
// pointers to their objects.
#ifndef SAVERHOST_WAYLAND_PROTOCOLS_H
#define SAVERHOST_WAYLAND_PROTOCOLS_H

#include <memory>

#include <wayland-client.h>

#include "wayland/ext-idle-notify-v1-client-protocol.h"
#include "wayland/kde-idle-client-protocol.h"
#include "wayland/wlr-layer-shell-unstable-v1-client-protocol.h"
#include "wayland/xdg-shell-client-protocol.h"

// Each object destroyed with its interface's own request.
struct WaylandDestroyer {
	void operator()(wl_display* display) const { wl_display_disconnect(display); }
	void operator()(wl_registry* registry) const { wl_registry_destroy(registry); }
	void operator()(wl_compositor* compositor) const { wl_compositor_destroy(compositor); }
	void operator()(wl_shm* shm) const { wl_shm_destroy(shm); }
	void operator()(xdg_wm_base* windowManager) const { xdg_wm_base_destroy(windowManager); }
	void operator()(zwlr_layer_shell_v1* shell) const { zwlr_layer_shell_v1_destroy(shell); }
	void operator()(ext_idle_notifier_v1* notifier) const
	{
		ext_idle_notifier_v1_destroy(notifier);
	}
	void operator()(org_kde_kwin_idle* idle) const { org_kde_kwin_idle_destroy(idle); }
	void operator()(wl_surface* surface) const { wl_surface_destroy(surface); }
	void operator()(wl_callback* callback) const { wl_callback_destroy(callback); }
	void operator()(wl_buffer* buffer) const { wl_buffer_destroy(buffer); }
	void operator()(xdg_surface* surface) const { xdg_surface_destroy(surface); }
	void operator()(xdg_toplevel* toplevel) const { xdg_toplevel_destroy(toplevel); }
	void operator()(zwlr_layer_surface_v1* layer) const { zwlr_layer_surface_v1_destroy(layer); }
	void operator()(ext_idle_notification_v1* notification) const
	{
		ext_idle_notification_v1_destroy(notification);
	}
	void operator()(org_kde_kwin_idle_timeout* timeout) const
	{
		org_kde_kwin_idle_timeout_release(timeout);
	}
};

template<typename Object>
using WaylandPtr = std::unique_ptr<Object, WaylandDestroyer>;

#endif	// SAVERHOST_WAYLAND_PROTOCOLS_H
