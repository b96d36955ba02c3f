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
	// Starts SDL's video on the display the environment names, or says why
	// no window can be had there. borrowing: the host draws in a window of
	// a screen-saver daemon's, which decides when the screen blanks.
	static Result<std::unique_ptr<VideoSession>> Start(bool borrowing);

	explicit VideoSession(Token) {}
	~VideoSession();

	VideoSession(const VideoSession&) = delete;
	VideoSession& operator=(const VideoSession&) = delete;

	// The name of SDL's video driver: "x11", "wayland", ...
	static std::string Driver();
};

#endif	// SAVERHOST_VIDEO_SESSION_H
