#include "outputs/window/MonitorPower.h"

#include <SDL.h>
#include <SDL_syswm.h>

// Xlib last: its macros (None, Status, Bool...) must meet no other header.
#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>


std::unique_ptr<MonitorPower>
MonitorPower::Watch(SDL_Window* window)
{
	SDL_SysWMinfo info;
	SDL_VERSION(&info.version);
	if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
		return nullptr;
	Display* display = info.info.x11.display;
	int eventBase = 0;
	int errorBase = 0;
	if (!DPMSQueryExtension(display, &eventBase, &errorBase) || !DPMSCapable(display))
		return nullptr;
	return std::make_unique<MonitorPower>(Token{}, display);
}


MonitorPower::MonitorPower(Token, _XDisplay* display)
	:
	fDisplay(display)
{
}


bool
MonitorPower::Asleep(TimePoint now)
{
	if (now < fNextCheck)
		return fAsleep;
	fNextCheck = now + kCheckInterval;

	// With DPMS switched off the server never puts the monitor to sleep,
	// whatever level it last reported.
	CARD16 level = DPMSModeOn;
	BOOL enabled = False;
	fAsleep = DPMSInfo(fDisplay, &level, &enabled) && enabled && level != DPMSModeOn;
	return fAsleep;
}
