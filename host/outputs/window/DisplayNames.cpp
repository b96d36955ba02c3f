#include "outputs/window/DisplayNames.h"

#include <cstdio>
#include <cstdlib>


bool
Named(const char* variable)
{
	const char* value = std::getenv(variable);
	return value != nullptr && *value != '\0';
}


std::string
DisplayName()
{
	const char* display = std::getenv("DISPLAY");
	return display != nullptr ? display : "";
}


std::string
WindowIdText(unsigned long id)
{
	char text[32];
	std::snprintf(text, sizeof(text), "0x%lx", id);
	return text;
}


std::string
ModuleName(const std::string& path)
{
	if (path.empty())
		return "Dustglow";
	size_t slash = path.find_last_of('/');
	std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
	return name.empty() ? path : name;
}
