#include "outputs/wayland/SettingsWindow.h"

#include <chrono>

#include <SDL.h>

#include "base/SignalHold.h"
#include "outputs/pictures/WindowPictures.h"
#include "outputs/wayland/FrameSurface.h"
#include "outputs/wayland/ToplevelRole.h"
#include "outputs/wayland/WaylandConnection.h"


Result<void>
ShowSettingsWindow(WaylandConnection& connection, const std::string& title,
	const SettingsPanel& panel, const SansFont& font)
{
	if (connection.WindowManager() == nullptr)
		return Error{"cannot show the settings: the compositor offers no xdg-shell windows"};
	Size size{panel.size.width, panel.size.height + kSettingsHintHeight};
	FrameSurface surface(connection);
	ToplevelRole window(connection.WindowManager(), surface.Get(), title,
		ToplevelRole::Placement{false, nullptr, size});
	auto lost = [&connection] {
		return Error{"lost the Wayland compositor (" + connection.Failure() + ")"};
	};

	// Up until a key, a click, the window closed, or a signal; drawn again
	// at each size the compositor gives it.
	SignalHold signals;
	Size drawn;
	WaylandConnection::Wait wait = WaylandConnection::Wait::Done;
	while (wait == WaylandConnection::Wait::Done && !window.Closed()
		&& !connection.Input().Touched(surface.Get())) {
		Size requested = window.Requested();
		Size shown{requested.width > 0 ? requested.width : size.width,
			requested.height > 0 ? requested.height : size.height};
		if (window.Configured() && !SameSize(shown, drawn)) {
			surface.Resize(shown, 1);
			window.Acknowledge();
			Result<void> painted = surface.Paint([&](SDL_Surface* target) {
				SDL_FillRect(target, nullptr, Mapped(target, SDL_Color{0, 0, 0, 255}));
				DrawPanel(target, panel, font);
				DrawSettingsHint(target, panel.size.height, font);
			});
			if (!painted)
				return Error{"cannot draw the settings window: " + painted.Message()};
			drawn = shown;
		}
		wait = connection.WaitUntil(std::chrono::steady_clock::now()
			+ std::chrono::milliseconds(SignalHold::kCheckMilliseconds), signals);
	}
	if (wait == WaylandConnection::Wait::Lost)
		return lost();
	return {};
}
