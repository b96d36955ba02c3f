// SDL's video subsystem, started for the window output's life.
#ifndef SAVERHOST_VIDEO_SESSION_H
#define SAVERHOST_VIDEO_SESSION_H

#include <memory>
#include <string>

#include "base/Result.h"

class VideoSession {
	struct Token {
		explicit Token() = default;
	};

public:
	// How the host uses the display: a window of its own; a window that a
	// screen-saver daemon lends, which decides when the screen blanks; or
	// every monitor of an X screen covered as the screen saver, where the
	// X server still puts the monitors to sleep when it decides to.
	enum class Use { OwnWindow, LentWindow, EveryMonitor };

	// Starts SDL's video on the display the environment names, or says why
	// no window can be had there.
	static Result<std::unique_ptr<VideoSession>> Start(Use use);

	explicit VideoSession(Token) {}
	~VideoSession();

	VideoSession(const VideoSession&) = delete;
	VideoSession& operator=(const VideoSession&) = delete;

	// The name of SDL's video driver: "x11", "wayland", ...
	static std::string Driver();
};

#endif	// SAVERHOST_VIDEO_SESSION_H
