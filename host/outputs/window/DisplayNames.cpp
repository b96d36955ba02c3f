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

