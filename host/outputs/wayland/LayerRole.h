// A surface as a layer-shell overlay on one monitor, above every window and
// panel, anchored to all four edges, with the keyboard to itself: how
// --screensaver covers a monitor where the compositor offers layer-shell.
#ifndef SAVERHOST_LAYER_ROLE_H
#define SAVERHOST_LAYER_ROLE_H

#include "outputs/wayland/SurfaceRole.h"
#include "outputs/wayland/WaylandProtocols.h"

class LayerRole : public SurfaceRole {
public:
	// Committed once without a buffer, as the compositor's first configure
	// asks.
	LayerRole(zwlr_layer_shell_v1* shell, wl_surface* surface, wl_output* monitor);

private:
	void _Acknowledge(uint32_t serial) override;

	static const struct zwlr_layer_surface_v1_listener kListener;

	WaylandPtr<zwlr_layer_surface_v1> fLayer;
};

#endif	// SAVERHOST_LAYER_ROLE_H
