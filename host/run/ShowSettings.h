// --config: the host lends the saver a settings view, lets it add its
// controls, and describes what it added.
#ifndef SAVERHOST_SHOW_SETTINGS_H
#define SAVERHOST_SHOW_SETTINGS_H

#include <string>

#include <ScreenSaver.h>

#include "base/SettingsPanel.h"

// Calls StartConfig() on a settings view of kSettingsSize, describes the
// views it then holds, and calls StopConfig() before the view and everything
// on it goes.
SettingsPanel ShowSettings(BScreenSaver& saver);

// One view on one line (see SettingsItem::line).
std::string DescribeView(const BView& view);

#endif	// SAVERHOST_SHOW_SETTINGS_H
