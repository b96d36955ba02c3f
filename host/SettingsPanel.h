// The saver's settings panel: the host lends the saver a view, lets it add
// its controls, and reports what it added.
#ifndef SAVERHOST_SETTINGS_PANEL_H
#define SAVERHOST_SETTINGS_PANEL_H

#include <string>
#include <vector>

#include <ScreenSaver.h>

// Calls StartConfig() on a 400x300 settings view, describes the views it then
// holds, one line each (children indented under their parent), and calls
// StopConfig() before the view and everything on it goes.
std::vector<std::string> ShowSettings(BScreenSaver& saver);

// One view: its class, its frame and, for a BStringView, its text, as in
// BStringView frame (10, 10, 200, 35) "No configuration options...yet"
std::string DescribeView(const BView& view);

#endif	// SAVERHOST_SETTINGS_PANEL_H
