// The saver's settings panel in a window of its own on the Wayland
// compositor, with a strip below that says how to close it.
#ifndef SAVERHOST_SETTINGS_WINDOW_H
#define SAVERHOST_SETTINGS_WINDOW_H

#include <string>

#include "base/Result.h"
#include "base/SettingsPanel.h"
#include "outputs/pictures/WindowText.h"

class WaylandConnection;

// Shows the panel until a key or a click in its window, the window closed,
// or a signal. The window asks for the panel's size, fixed, which tiling
// compositors take as a window to float.
Result<void> ShowSettingsWindow(WaylandConnection& connection, const std::string& title,
	const SettingsPanel& panel, const SansFont& font);

#endif	// SAVERHOST_SETTINGS_WINDOW_H
