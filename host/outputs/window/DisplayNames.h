// What the environment says about the display, and how the window output
// names windows and sizes in its messages.
#ifndef SAVERHOST_DISPLAY_NAMES_H
#define SAVERHOST_DISPLAY_NAMES_H

#include <string>

#include "base/Size.h"

// The environment variable is set and not empty.
bool Named(const char* variable);

// $DISPLAY, or empty.
std::string DisplayName();

// An X window id as xwininfo shows it: 0x and lower-case hex digits.
std::string WindowIdText(unsigned long id);

std::string SizeText(Size size);

inline bool
SameSize(Size a, Size b)
{
	return a.width == b.width && a.height == b.height;
}

#endif	// SAVERHOST_DISPLAY_NAMES_H
