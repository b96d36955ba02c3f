// Every monitor covered, above every window, for --screensaver and --idle:
// each monitor is an Output of its own, which the run gives a saver of its
// own. One Screens object owns the display connection the monitors share.
#ifndef SAVERHOST_SCREENS_H
#define SAVERHOST_SCREENS_H

#include <chrono>
#include <vector>

#include "base/Options.h"
#include "base/Result.h"
#include "outputs/Output.h"

struct ScreenEvents {
	// Input anywhere: a key, a click or a pointer move. The run ends, exit 0.
	bool quit = false;
	// Monitors were added or removed (or one changed size): Monitors() has
	// changed, and the run starts or stops savers to match.
	bool changed = false;
};

class Screens {
public:
	virtual ~Screens() = default;

	// Connects and covers every monitor there is now, or says why it cannot
	// ("the compositor offers neither wlr-layer-shell nor xdg-shell", ...).
	virtual Result<void> Open(const Options& options) = 0;

	// One output per monitor covered, each not yet opened: the run calls
	// Open() on each it has not seen before (which gives the monitor's size
	// in pixels), then LendPixels()/Present()/Poll() as for any output. The
	// pointers stay valid until WaitUntil() reports `changed`; the Screens
	// object owns them.
	virtual std::vector<Output*> Monitors() = 0;

	// Waits until deadline, or until input, a change of monitors or a signal
	// (an interrupted wait returns early with no events; the run checks its
	// signals itself). Each monitor's own events (resized, outOfSight) are
	// read with its Poll() after this returns.
	virtual ScreenEvents WaitUntil(std::chrono::steady_clock::time_point deadline) = 0;
};

#endif	// SAVERHOST_SCREENS_H
