// The variables SDL and the window output look at (DISPLAY, WAYLAND_DISPLAY,
// SDL_VIDEODRIVER), set in this process for one X display, or for SDL's dummy
// video driver when the display's name is empty; put back as they were when
// it goes.
#ifndef TESTS_DISPLAY_ENVIRONMENT_H
#define TESTS_DISPLAY_ENVIRONMENT_H

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class DisplayEnvironment {
public:
	explicit DisplayEnvironment(const std::string& xDisplay)
	{
		for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}) {
			const char* value = std::getenv(name);
			fSaved.emplace_back(name, value != nullptr ? std::optional<std::string>(value)
				: std::nullopt);
			unsetenv(name);
		}
		if (xDisplay.empty())
			setenv("SDL_VIDEODRIVER", "dummy", 1);
		else
			setenv("DISPLAY", xDisplay.c_str(), 1);
	}

	~DisplayEnvironment()
	{
		for (const auto& [name, value] : fSaved) {
			if (value)
				setenv(name.c_str(), value->c_str(), 1);
			else
				unsetenv(name.c_str());
		}
	}

	DisplayEnvironment(const DisplayEnvironment&) = delete;
	DisplayEnvironment& operator=(const DisplayEnvironment&) = delete;

private:
	std::vector<std::pair<std::string, std::optional<std::string>>> fSaved;
};

#endif	// TESTS_DISPLAY_ENVIRONMENT_H
