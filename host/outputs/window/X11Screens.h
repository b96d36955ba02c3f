// Every monitor of an X screen covered for --screensaver: a borderless
// override-redirect window of SDL's over each monitor's rectangle, which a
// WindowOutput of its own draws in, the keyboard and the pointer grabbed so
// that input ends the run, and RandR watched so that monitors that come,
// go or change are followed. SDL makes the windows and shows the frames;
// what SDL does not do (the monitors, the grab) goes over a connection of
// the host's own.
#ifndef SAVERHOST_X11_SCREENS_H
#define SAVERHOST_X11_SCREENS_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Damage.h"
#include "outputs/Screens.h"
#include "outputs/window/XConnection.h"

union SDL_Event;
union _XEvent;
class InputGrab;
class SignalHold;
class MonitorLayout;
class VideoSession;
class WindowOutput;
class XErrorWatch;

class X11Screens : public Screens {
public:
	X11Screens();
	~X11Screens() override;

	Result<void> Open(const Options& options) override;
	std::vector<Output*> Monitors() override;
	ScreenEvents WaitUntil(std::chrono::steady_clock::time_point deadline) override;

private:
	struct Monitor {
		PixelRect place;
		// SDL's id of the window, and X's.
		uint32_t window;
		unsigned long xWindow;
		std::unique_ptr<WindowOutput> output;
	};

	Result<void> _Cover(const std::vector<PixelRect>& places);
	void _Dispatch(const SDL_Event& event);
	void _ReadConnection(ScreenEvents& events);
	void _FollowLayout(ScreenEvents& events);
	bool _LockerCame(const _XEvent& event);
	bool _Wait(std::chrono::steady_clock::time_point deadline, const SignalHold& signals);

	// Destroyed in the reverse order: the windows before SDL's video, which
	// goes before the X error watch; the grab lets go before the connection
	// closes.
	XConnection fConnection;
	std::unique_ptr<MonitorLayout> fLayout;
	std::unique_ptr<InputGrab> fGrab;
	std::unique_ptr<XErrorWatch> fErrors;
	std::unique_ptr<VideoSession> fVideo;
	std::vector<Monitor> fMonitors;
	// SDL's own connection, once a window shows it; -1 before.
	int fVideoConnection = -1;
	void* fVideoDisplay = nullptr;
	std::string fTitle;
};

#endif	// SAVERHOST_X11_SCREENS_H
