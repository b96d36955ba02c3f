// What the environment says about the display, and how the window output
// names windows in its messages.
#ifndef SAVERHOST_DISPLAY_NAMES_H
#define SAVERHOST_DISPLAY_NAMES_H

#include <string>

// The environment variable is set and not empty.
bool Named(const char* variable);

// $DISPLAY, or empty.
std::string DisplayName();

// An X window id as xwininfo shows it: 0x and lower-case hex digits.
std::string WindowIdText(unsigned long id);

#endif	// SAVERHOST_DISPLAY_NAMES_H
