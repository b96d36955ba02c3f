#include "run/OptionTable.h"

#include <utility>

#include "base/ViewSizes.h"
#include "outputs/OutputTable.h"
#include "run/OptionValues.h"


namespace {

using Applied = Result<void>;


// Stores what a value parser gave, or passes its message on.
template<typename Value, typename Field>
Applied
Store(Result<Value> parsed, Field& field)
{
	if (!parsed)
		return Error{parsed.Message()};
	field = std::move(parsed.Value());
	return {};
}


// A switch that sets a field of the options.
template<bool Options::*Field>
Applied
Enable(CommandLine& line, const GivenOption&)
{
	line.options.*Field = true;
	return {};
}


Applied
SetModule(CommandLine& line, const GivenOption& given)
{
	std::string& path = line.options.modulePath;
	if (!path.empty()) {
		return Error{"the module is given twice (\"" + path + "\" and \""
			+ std::string(given.value) + "\"); give one"};
	}
	if (given.value.empty())
		return Error{"the module path is empty"};
	path = given.value;
	return {};
}


Applied
SetOutput(CommandLine& line, const GivenOption& given)
{
	std::optional<OutputKind> output = FindOutput(given.value);
	if (!output)
		return Error{OptionText(given.name, given.value) + ": expected " + OutputNames()};
	line.options.output = *output;
	return {};
}


Applied
SetTerminalPixels(CommandLine& line, const GivenOption& given)
{
	const std::pair<const char*, TerminalPixels> kinds[] = {{"kitty", TerminalPixels::Kitty},
		{"sixel", TerminalPixels::Sixel}, {"cells", TerminalPixels::Cells}};
	for (const auto& [name, kind] : kinds) {
		if (given.value == name) {
			line.options.terminalPixels = kind;
			return {};
		}
	}
	return Error{OptionText(given.name, given.value) + ": expected kitty, sixel or cells"};
}


Applied
SetPngDirectory(CommandLine& line, const GivenOption& given)
{
	if (given.value.empty())
		return Error{"--png-dir needs a directory, as in --png-dir frames"};
	line.options.pngDirectory = std::string(given.value);
	return {};
}


// The rows, in the order --help lists them.
const std::vector<OptionEntry> kOptions = {
	{"--module", "", "PATH", "a path, as in --module build/add-ons/Dustglow",
		"the add-on to load, also given alone as MODULE (default: the Dustglow add-on "
		"of this build, ../add-ons/Dustglow next to saverhost's own directory, or else "
		"the one installed with it)",
		SetModule},
	{"--output", "", "KIND", OutputNames() + ", as in --output terminal",
		"where the frames go: " + OutputNames() + " (default: chosen at start, see "
		"below); window is wayland where WAYLAND_DISPLAY is set, else x11; file needs "
		"--record, --png-dir, --snapshot or --digest",
		SetOutput},
	{"--size", "", "WxH", "a size, as in --size 640x480",
		"the full-screen view in pixels for files and headless runs, and the window's "
		"first size (default 640x480, at most " + std::to_string(kMaxViewSide)
		+ " a side)",
		[](CommandLine& line, const GivenOption& given) {
			return Store(ParseSize(given.value), line.options.size);
		}},
	{"--frames", "", "N", "a count, as in --frames 25",
		"ticks to run (default: until stopped in a window or the terminal, 250 for "
		"--record and --png-dir, else 1; 0 starts and stops the saver without a Draw, "
		"and cannot go with --record or --png-dir); a window or the terminal ticks at "
		"the saver's period, files and headless runs back to back unless --paced",
		[](CommandLine& line, const GivenOption& given) {
			return Store(ParseCount("--frames", given.value, 0), line.options.frames);
		}},
	{"--fullscreen", "", "", "",
		"fill the screen with a window of saverhost's own; cannot go with --window-id "
		"or --root",
		Enable<&Options::fullscreen>},
	{"--window-id", "", "ID", "an X window id, as in --window-id 0x2a00007",
		"draw into the existing X window ID (decimal, or hex as in 0x2a00007)",
		[](CommandLine& line, const GivenOption& given) {
			return Store(ParseWindowId(std::string(given.name) + " ", given.value),
				line.options.windowId);
		}},
	{"--root", "", "", "",
		"draw into the window --window-id or XSCREENSAVER_WINDOW names, or else into the "
		"root window",
		Enable<&Options::root>},
	{"--screensaver", "", "", "",
		"be the screen saver now: cover every monitor with a saver of its own, above every "
		"window, until a key, a click or a move of the pointer (exit status 0), following "
		"monitors as they come and go",
		Enable<&Options::screensaver>},
	{"--idle", "", "SECONDS", "a number of seconds, as in --idle 300",
		"a screen saver with no daemon: wait, showing nothing, until the session has gone "
		"SECONDS without input (at most " + std::to_string(kMaxIdleSeconds) + "), then run "
		"as --screensaver; input ends the saver and the wait begins again, until a signal",
		[](CommandLine& line, const GivenOption& given) {
			return Store(ParseCount("--idle", given.value, 1, kMaxIdleSeconds),
				line.options.idleSeconds);
		}},
	{"--terminal-pixels", "", "KIND", "kitty, sixel or cells, as in --terminal-pixels cells",
		"how the terminal shows the picture: kitty (its graphics protocol), sixel, or "
		"cells (two pixels a character); asks for --output terminal (default: what the "
		"terminal answers it can show, cells inside tmux or screen)",
		SetTerminalPixels},
	{"--fps", "", "", "",
		"show frames per second, the milliseconds a frame costs (Draw and showing it) "
		"and the CPU load",
		Enable<&Options::fps>},
	{"--paced", "", "", "",
		"tick at the saver's period in files and headless runs too, as a window or the "
		"terminal always does",
		Enable<&Options::paced>},
	{"--record", "", "FILE", "a file name, as in --record dust.mp4",
		"record a video: FILE ends in .mp4, .webm or .gif; needs the ffmpeg program; "
		"FILE appears when the run ends, whole, or not at all",
		[](CommandLine& line, const GivenOption& given) {
			return Store(ParseRecordPath(given.value), line.options.recordPath);
		}},
	{"--png-dir", "", "DIR", "a directory, as in --png-dir frames",
		"write every frame as DIR/frame-000001.png, ...",
		SetPngDirectory},
	{"--soak", "", "FRAMES", "a count, as in --soak 200000",
		"run FRAMES frames headless, back to back, and check after each that nothing "
		"was written outside a bitmap and that memory stays flat; then print one line: "
		"frames, seconds, frames/s, the largest resident set, and passed or what failed",
		[](CommandLine& line, const GivenOption& given) {
			return Store(ParseCount("--soak", given.value, 1), line.options.soak);
		}},
	{"--preview", "", "", "",
		"start the saver on the " + SizeText(kPreviewSize) + " preview view instead of "
		"the full-screen one; a saver that declines the preview is not an error",
		Enable<&Options::preview>},
	{"--config", "", "", "",
		"show the saver's settings panel on a " + SizeText(kSettingsSize) + " view until "
		"a key or a click (without a window or a terminal: list the views it holds on "
		"standard output, one a line: class, frame (left, top, right, bottom) and "
		"text); then stop, unless an option about a run asks for one as well",
		Enable<&Options::config>},
	{"--snapshot", "", "FILE", "a file name, as in --snapshot frame.png",
		"after the last frame, write the view as an 8-bit RGB PNG; FILE ends in .png "
		"and is replaced whole or not at all",
		[](CommandLine& line, const GivenOption& given) {
			return Store(ParseSnapshotPath(given.value), line.options.snapshotPath);
		}},
	{"--digest", "", "", "",
		"after every Draw print \"frame N DIGEST\": N from 1, DIGEST the 64-bit FNV-1a "
		"of the view's red, green and blue bytes, row by row, in 16 hex digits",
		Enable<&Options::digest>},
	{"--clock", "", "SECONDS", "seconds since the epoch, as in --clock 1000000000",
		"the wall clock the add-on sees, in seconds since 1970-01-01 00:00 UTC "
		"(default: the real clock); the same clock and size give the same frames",
		[](CommandLine& line, const GivenOption& given) {
			return Store(ParseClock(given.value), line.options.clock);
		}},
	{"--help", "-h", "", "",
		"show this text",
		[](CommandLine& line, const GivenOption&) -> Applied {
			line.command = Command::Help;
			return {};
		}},
	{"--version", "", "", "",
		"show saverhost's version",
		[](CommandLine& line, const GivenOption&) -> Applied {
			line.command = Command::Version;
			return {};
		}},
};

}	// namespace


const std::vector<OptionEntry>&
OptionTable()
{
	return kOptions;
}


const OptionEntry*
FindOptionEntry(std::string_view name)
{
	for (const OptionEntry& entry : OptionTable()) {
		if (name == entry.name || (!entry.alias.empty() && name == entry.alias))
			return &entry;
	}
	return nullptr;
}


const std::vector<DaemonForm>&
DaemonForms()
{
	static const std::vector<DaemonForm> forms = {
		{"-root", "--root", nullptr},
		{"-window-id", "--window-id", nullptr},
		{"-fps", "--fps", nullptr},
		{"-window", "--output", "window"},
		{"-help", "--help", nullptr},
	};
	return forms;
}


const DaemonForm*
FindDaemonForm(std::string_view name)
{
	for (const DaemonForm& form : DaemonForms()) {
		if (name == form.name)
			return &form;
	}
	return nullptr;
}
