// Whether the X server has put the monitor to sleep (DPMS standby, suspend or
// off): nobody sees the window then. The server sends no event when that
// changes, so it is asked again every so often, on SDL's own connection.
#ifndef SAVERHOST_MONITOR_POWER_H
#define SAVERHOST_MONITOR_POWER_H

#include <chrono>
#include <memory>

struct SDL_Window;
struct _XDisplay;

class MonitorPower {
	struct Token {
		explicit Token() = default;
	};

public:
	using TimePoint = std::chrono::steady_clock::time_point;

	// How long an answer is taken as still true.
	static constexpr std::chrono::milliseconds kCheckInterval{500};

	// For the display of window; none where SDL runs on something other
	// than X, or the server has no DPMS.
	static std::unique_ptr<MonitorPower> Watch(SDL_Window* window);

	MonitorPower(Token, _XDisplay* display);

	// The monitor sleeps, as the server last said.
	bool Asleep(TimePoint now);
	// When the server will be asked next.
	TimePoint NextCheck() const { return fNextCheck; }

private:
	_XDisplay* fDisplay;
	bool fAsleep = false;
	TimePoint fNextCheck;
};

#endif	// SAVERHOST_MONITOR_POWER_H
