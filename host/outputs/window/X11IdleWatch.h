// How long the X session has gone without input, as the X server counts it
// (the MIT-SCREEN-SAVER extension): the time since the last key, click or
// move of the pointer on any of its devices, real or synthetic, or since
// the watch began, whichever is shorter.
#ifndef SAVERHOST_X11_IDLE_WATCH_H
#define SAVERHOST_X11_IDLE_WATCH_H

#include <chrono>
#include <optional>

#include "outputs/IdleWatch.h"
#include "outputs/window/XConnection.h"

class SignalHold;

class X11IdleWatch : public IdleWatch {
public:
	Result<void> Open(std::chrono::seconds idle) override;
	bool WaitForIdle() override;

	// How often the server is asked while a stretch of idleness that was
	// reported goes on, waiting for the input that ends it.
	static constexpr std::chrono::milliseconds kInputCheck{250};

private:
	std::chrono::milliseconds _IdleTime();
	bool _Sleep(std::chrono::milliseconds time, const SignalHold& signals);

	XConnection fConnection;
	std::chrono::milliseconds fIdle{0};
	// The watch's start counts as input, as a compositor's idle timer
	// starts when asked for: no saver the moment the watch begins.
	std::chrono::steady_clock::time_point fOpenedAt;
	// The idle time last reported: the next stretch begins only once input
	// has ended that one (the server's count falls).
	std::optional<std::chrono::milliseconds> fReported;
};

#endif	// SAVERHOST_X11_IDLE_WATCH_H
