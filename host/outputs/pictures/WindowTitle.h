// The title of the saver's own window, X's or Wayland's.
#ifndef SAVERHOST_WINDOW_TITLE_H
#define SAVERHOST_WINDOW_TITLE_H

#include <string>

// The add-on's file name, or Dustglow for the one this build made.
inline std::string
WindowTitle(const std::string& modulePath)
{
	if (modulePath.empty())
		return "Dustglow";
	size_t slash = modulePath.find_last_of('/');
	std::string name = slash == std::string::npos ? modulePath : modulePath.substr(slash + 1);
	return name.empty() ? modulePath : name;
}

#endif	// SAVERHOST_WINDOW_TITLE_H
