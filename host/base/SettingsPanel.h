// The saver's settings panel as the host describes it: the host lends the
// saver a view, lets it add its controls, and keeps what it added.
#ifndef SAVERHOST_SETTINGS_PANEL_H
#define SAVERHOST_SETTINGS_PANEL_H

#include <string>
#include <vector>

#include <Rect.h>

#include "base/Size.h"

// One view on the panel.
struct SettingsItem {
	std::string className;		// BStringView, BView, ...
	BRect frame;				// in its parent's coordinates
	std::string text;			// a BStringView's text, else empty
	bool hasText = false;
	int depth = 0;				// 0 for the panel's own children
	// The view on one line, as in
	// BStringView frame (10, 10, 200, 35) "No configuration options...yet"
	std::string line;
};

struct SettingsPanel {
	Size size;					// the view the saver was given
	std::vector<SettingsItem> items;	// in drawing order, children after parents
};

#endif	// SAVERHOST_SETTINGS_PANEL_H
