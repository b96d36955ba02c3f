#include "outputs/wayland/LayerRole.h"

#include "base/Report.h"


const zwlr_layer_surface_v1_listener LayerRole::kListener = {
	[](void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t width, uint32_t height) {
		static_cast<LayerRole*>(data)->_Configure(serial,
			Size{static_cast<int32_t>(width), static_cast<int32_t>(height)});
	},
	[](void* data, zwlr_layer_surface_v1*) { static_cast<LayerRole*>(data)->fClosed = true; },
};


LayerRole::LayerRole(zwlr_layer_shell_v1* shell, wl_surface* surface, wl_output* monitor)
	:
	// Named as saverhost was run (dustglow as the screen saver), for the
	// compositor's rules.
	fLayer(zwlr_layer_shell_v1_get_layer_surface(shell, surface, monitor,
		ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, ProgramName().c_str()))
{
	zwlr_layer_surface_v1_add_listener(fLayer.get(), &kListener, this);
	zwlr_layer_surface_v1_set_anchor(fLayer.get(), ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP
		| ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT
		| ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
	// The monitor's size, over the space panels keep to themselves.
	zwlr_layer_surface_v1_set_size(fLayer.get(), 0, 0);
	zwlr_layer_surface_v1_set_exclusive_zone(fLayer.get(), -1);
	zwlr_layer_surface_v1_set_keyboard_interactivity(fLayer.get(), 1);
	wl_surface_commit(surface);
}


void
LayerRole::_Acknowledge(uint32_t serial)
{
	zwlr_layer_surface_v1_ack_configure(fLayer.get(), serial);
}
