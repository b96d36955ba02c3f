// What a run of saverhost is asked to do: plain data, which the command line
// (run/CommandLine.h) fills in and the runner and the outputs read.
#ifndef SAVERHOST_OPTIONS_H
#define SAVERHOST_OPTIONS_H

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "base/OutputKind.h"
#include "base/Size.h"

// The largest --frames: the frame counter handed to Draw() is an int32.
constexpr int32_t kMaxFrames = INT32_MAX;
// The longest --idle: a day.
constexpr int32_t kMaxIdleSeconds = 86400;

// How the terminal output shows the picture: the terminal's own pixels, through
// kitty's graphics protocol or sixel, or coloured character cells.
enum class TerminalPixels { Kitty, Sixel, Cells };

struct Options {
	// The add-on to load; empty for the one this build made.
	std::string modulePath;
	Size size{640, 480};
	// Ticks to run; unset for the output's own default.
	std::optional<int32_t> frames;
	bool preview = false;
	bool config = false;
	std::optional<std::string> snapshotPath;
	bool digest = false;
	// The wall clock the add-on sees, in seconds since the epoch; unset for
	// the real one.
	std::optional<time_t> clock;

	// Where the frames go (--output); unset to choose on start-up from the
	// table of outputs.
	std::optional<OutputKind> output;
	// Window: fill the screen (--fullscreen); draw into an existing X window
	// (--window-id ID, or the XSCREENSAVER_WINDOW environment variable);
	// --root: that window, or else the root window.
	bool fullscreen = false;
	std::optional<unsigned long> windowId;
	bool root = false;
	// --screensaver: every monitor covered, above every window, until the
	// user's first touch; --idle SECONDS: that after each stretch of SECONDS
	// without input, until a signal.
	bool screensaver = false;
	std::optional<int32_t> idleSeconds;
	// Terminal: --terminal-pixels; unset to ask the terminal what it shows.
	std::optional<TerminalPixels> terminalPixels;
	// --fps: frames per second, the frame's cost and the CPU load.
	bool fps = false;
	// --paced: tick at the saver's period in files and headless runs too, as
	// the window and the terminal always do.
	bool paced = false;
	// Files: a video by the extension (mp4, webm, gif), numbered PNGs.
	std::optional<std::string> recordPath;
	std::optional<std::string> pngDirectory;
	// --soak FRAMES: that many frames headless, checking after each that no
	// bitmap was written outside its pixels and that memory stays flat.
	std::optional<int32_t> soak;

	// --config alone shows the settings and stops there; any option about a
	// run starts the saver afterwards.
	bool RunsSaver() const
	{
		return !config || frames || preview || snapshotPath || digest || fps || paced
			|| recordPath || pngDirectory || soak;
	}

	// An option that only the window output has asks for it.
	bool WantsWindow() const { return fullscreen || windowId || root; }
	// Every monitor covered, now or once the session is idle.
	bool CoversScreens() const { return screensaver || idleSeconds; }
	// Files to write, which only the file output writes.
	bool WritesFiles() const { return recordPath || pngDirectory; }
};

#endif	// SAVERHOST_OPTIONS_H
