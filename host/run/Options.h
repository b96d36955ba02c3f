// The command line of saverhost.
#ifndef SAVERHOST_OPTIONS_H
#define SAVERHOST_OPTIONS_H

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "base/Result.h"
#include "base/Size.h"

// The largest full-screen view side saverhost accepts, in pixels.
constexpr int32_t kMaxViewSide = 16384;
// The largest --frames: the frame counter handed to Draw() is an int32.
constexpr int32_t kMaxFrames = INT32_MAX;

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

	// Where the frames go: --output window|terminal|file|headless; unset to
	// choose on start-up (a window with a display, else the terminal when
	// standard output is one, else files).
	std::optional<std::string> output;
	// Window: fill the screen (--fullscreen); draw into an existing X window
	// (--window-id ID, or the XSCREENSAVER_WINDOW environment variable);
	// --root: that window, or else the root window.
	bool fullscreen = false;
	std::optional<unsigned long> windowId;
	bool root = false;
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
};

// The kinds of video --record writes, by the file name's extension.
enum class VideoFormat { Mp4, Webm, Gif };

// The format for a file name ending in .mp4, .webm or .gif (in any case), or
// none.
std::optional<VideoFormat> VideoFormatOf(std::string_view path);

enum class Command { Run, Help, Version };

struct CommandLine {
	Command command = Command::Run;
	Options options;
};

// The parsed command line, or a one-line message about what is wrong with it.
Result<CommandLine> ParseCommandLine(int argc, const char* const argv[]);

const char* UsageText();
const char* VersionText();

#endif	// SAVERHOST_OPTIONS_H
