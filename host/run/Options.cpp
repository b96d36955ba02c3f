#include "run/Options.h"

#include <array>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <string_view>


namespace {

enum class Key { Module, Size, Frames, Preview, Config, Snapshot, Digest, Clock, Output,
	Window, Fullscreen, WindowId, Root, Fps, Paced, Record, PngDirectory, Soak, Help, Version };

struct OptionSpec {
	std::string_view name;
	Key key;
	bool takesValue;
};

constexpr std::array<OptionSpec, 25> kOptions = {{
	{"--module", Key::Module, true},
	{"--size", Key::Size, true},
	{"--frames", Key::Frames, true},
	{"--preview", Key::Preview, false},
	{"--config", Key::Config, false},
	{"--snapshot", Key::Snapshot, true},
	{"--digest", Key::Digest, false},
	{"--clock", Key::Clock, true},
	{"--output", Key::Output, true},
	{"--fullscreen", Key::Fullscreen, false},
	{"--window-id", Key::WindowId, true},
	{"--root", Key::Root, false},
	{"--fps", Key::Fps, false},
	{"--paced", Key::Paced, false},
	{"--record", Key::Record, true},
	{"--png-dir", Key::PngDirectory, true},
	{"--soak", Key::Soak, true},
	{"--help", Key::Help, false},
	{"-h", Key::Help, false},
	{"--version", Key::Version, false},
	// The single-dash forms that screen-saver daemons and lockers pass.
	{"-root", Key::Root, false},
	{"-window-id", Key::WindowId, true},
	{"-fps", Key::Fps, false},
	{"-window", Key::Window, false},
	{"-help", Key::Help, false},
}};


const OptionSpec*
FindOption(std::string_view name)
{
	for (const OptionSpec& option : kOptions) {
		if (option.name == name)
			return &option;
	}
	return nullptr;
}


bool
AllDigits(std::string_view text)
{
	if (text.empty())
		return false;
	for (char c : text) {
		if (c < '0' || c > '9')
			return false;
	}
	return true;
}


// A whole number: an optional minus sign and at least one digit, nothing else.
// Numbers beyond int64 saturate, which every caller rejects as too large or
// too small anyway.
std::optional<int64_t>
ParseInteger(std::string_view text)
{
	bool negative = !text.empty() && text.front() == '-';
	std::string_view digits = negative ? text.substr(1) : text;
	if (!AllDigits(digits))
		return std::nullopt;

	int64_t value = 0;
	auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
	if (error == std::errc::result_out_of_range) {
		return negative ? std::numeric_limits<int64_t>::min()
			: std::numeric_limits<int64_t>::max();
	}
	if (error != std::errc() || end != text.data() + text.size())
		return std::nullopt;
	return value;
}


std::string
OptionText(std::string_view option, std::string_view value)
{
	return std::string(option) + " " + std::string(value);
}


Result<Size>
ParseSize(std::string_view text)
{
	size_t cross = text.find_first_of("xX");
	std::optional<int64_t> width;
	std::optional<int64_t> height;
	if (cross != std::string_view::npos) {
		width = ParseInteger(text.substr(0, cross));
		height = ParseInteger(text.substr(cross + 1));
	}
	if (!width || !height) {
		return Error{OptionText("--size", text)
			+ ": expected WIDTHxHEIGHT in pixels, as in 640x480"};
	}
	if (*width < 1 || *height < 1)
		return Error{OptionText("--size", text) + ": width and height must be at least 1"};
	if (*width > kMaxViewSide || *height > kMaxViewSide) {
		return Error{OptionText("--size", text) + ": width and height must be at most "
			+ std::to_string(kMaxViewSide)};
	}
	return Size{static_cast<int32_t>(*width), static_cast<int32_t>(*height)};
}


Result<int32_t>
ParseFrames(std::string_view text)
{
	// Digits only: no sign, so that "-1" is not taken as "no limit".
	std::optional<int64_t> frames;
	if (AllDigits(text))
		frames = ParseInteger(text);
	if (!frames || *frames > kMaxFrames) {
		return Error{OptionText("--frames", text) + ": expected a whole number from 0 to "
			+ std::to_string(kMaxFrames)};
	}
	return static_cast<int32_t>(*frames);
}


Result<time_t>
ParseClock(std::string_view text)
{
	std::optional<int64_t> seconds = ParseInteger(text);
	if (!seconds || *seconds == std::numeric_limits<int64_t>::min()
		|| *seconds == std::numeric_limits<int64_t>::max()
		|| *seconds < std::numeric_limits<time_t>::min()
		|| *seconds > std::numeric_limits<time_t>::max()) {
		return Error{OptionText("--clock", text)
			+ ": expected whole seconds since 1970-01-01 00:00 UTC, as in 1000000000"};
	}
	return static_cast<time_t>(*seconds);
}


Result<std::string>
ParseOutput(std::string_view text)
{
	for (const char* name : {"window", "terminal", "file", "headless"}) {
		if (text == name)
			return std::string(text);
	}
	return Error{OptionText("--output", text)
		+ ": expected window, terminal, file or headless"};
}


// An X window id, in decimal or in hex after 0x, as xwininfo prints it.
std::optional<unsigned long>
ParseWindowIdText(std::string_view text)
{
	int base = 10;
	if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
		text.remove_prefix(2);
		base = 16;
	}
	if (text.empty() || text.front() == '-' || text.front() == '+')
		return std::nullopt;
	uint64_t id = 0;
	auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id, base);
	if (error != std::errc() || end != text.data() + text.size() || id == 0
		|| id > std::numeric_limits<uint32_t>::max()) {
		return std::nullopt;
	}
	return static_cast<unsigned long>(id);
}


Result<unsigned long>
ParseWindowId(std::string_view source, std::string_view text)
{
	std::optional<unsigned long> id = ParseWindowIdText(text);
	if (!id) {
		return Error{std::string(source) + std::string(text)
			+ ": expected an X window id, in decimal or in hex as in 0x2a00007"};
	}
	return *id;
}


// The file name's extension in lower case, or empty when it has none.
std::string
LowerExtension(std::string_view path)
{
	size_t dot = path.rfind('.');
	size_t slash = path.rfind('/');
	if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
		return "";
	std::string extension;
	for (char c : path.substr(dot + 1))
		extension += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
	return extension;
}


// A snapshot is a PNG image: a name that asks for another kind of file would
// get bytes it does not promise.
Result<std::string>
ParseSnapshotPath(std::string_view text)
{
	if (text.empty())
		return Error{"--snapshot needs a file name, as in --snapshot frame.png"};
	if (LowerExtension(text) != "png")
		return Error{OptionText("--snapshot", text) + ": the file name must end in .png"};
	return std::string(text);
}


Result<std::string>
ParseRecordPath(std::string_view text)
{
	if (text.empty())
		return Error{"--record needs a file name, as in --record dust.mp4"};
	if (!VideoFormatOf(text)) {
		return Error{OptionText("--record", text)
			+ ": the file name must end in .mp4, .webm or .gif"};
	}
	return std::string(text);
}


// A soak is a headless run of its own length on the full-screen view.
Result<void>
CheckSoak(const Options& options, bool framesGiven)
{
	std::optional<std::string> other;
	if (framesGiven)
		other = "--frames";
	else if (options.preview)
		other = "--preview";
	else if (options.output && *options.output != "headless")
		other = "--output " + *options.output;
	else if (options.fullscreen || options.windowId || options.root)
		other = options.fullscreen ? "--fullscreen" : options.root ? "--root" : "--window-id";
	else if (options.recordPath || options.pngDirectory)
		other = options.recordPath ? "--record" : "--png-dir";
	else if (options.paced)
		other = "--paced";
	if (other)
		return Error{"--soak runs headless on the full-screen view for its own count of "
			"frames; it cannot go with " + *other};
	return {};
}


// Options that each make sense alone but not together.
Result<void>
CheckCombinations(const Options& options, bool windowIdGiven)
{
	const char* windowOption = options.fullscreen ? "--fullscreen"
		: windowIdGiven ? "--window-id" : options.root ? "--root" : nullptr;
	const char* fileOption = options.recordPath ? "--record"
		: options.pngDirectory ? "--png-dir" : nullptr;

	// The screen filled with a window of saverhost's own, or a window that
	// is there already: not both.
	if (options.fullscreen && (windowIdGiven || options.root)) {
		return Error{std::string("--fullscreen fills the screen with a window of its own; it "
			"cannot go with ") + (options.root ? "--root" : "--window-id")
			+ ", which draws in a window that is there already"};
	}
	if (windowOption != nullptr && options.output && *options.output != "window") {
		return Error{std::string(windowOption) + " needs the window; it cannot go with "
			"--output " + *options.output};
	}
	if (fileOption != nullptr && options.output && *options.output != "file") {
		return Error{std::string(fileOption) + " writes files; it cannot go with "
			"--output " + *options.output};
	}
	if (fileOption != nullptr && windowOption != nullptr) {
		return Error{std::string(fileOption) + " writes files; it cannot go with "
			+ windowOption};
	}
	if (options.recordPath && options.frames && *options.frames == 0)
		return Error{"--record needs at least one frame; --frames 0 records nothing"};
	if (options.pngDirectory && options.frames && *options.frames == 0)
		return Error{"--png-dir needs at least one frame; --frames 0 writes nothing"};
	// The file output with nothing to write would draw frames for nobody.
	if (options.output && *options.output == "file" && !fileOption && !options.snapshotPath
		&& !options.digest) {
		return Error{"--output file needs something to write: --record FILE, --png-dir DIR, "
			"--snapshot FILE or --digest"};
	}
	return {};
}


// Words that read as an option's value rather than as an add-on: numbers,
// sizes and window ids (30, 1.5, 640x480, 0x2a00007), and yes, no, true,
// false, on and off. An add-on named so is still loaded by --module NAME or
// by a path with a slash.
bool
LooksLikeValue(std::string_view word)
{
	std::string lower;
	for (char c : word)
		lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
	for (const char* answer : {"yes", "no", "true", "false", "on", "off"}) {
		if (lower == answer)
			return true;
	}
	if (lower.empty() || lower.front() < '0' || lower.front() > '9')
		return false;
	return lower.find_first_not_of("0123456789abcdefx.") == std::string::npos;
}


Error
MissingValue(const OptionSpec& option)
{
	static const std::array<std::pair<Key, const char*>, 10> kExamples = {{
		{Key::Module, "a path, as in --module build/add-ons/Dustglow"},
		{Key::Size, "a size, as in --size 640x480"},
		{Key::Frames, "a count, as in --frames 25"},
		{Key::Snapshot, "a file name, as in --snapshot frame.png"},
		{Key::Clock, "seconds since the epoch, as in --clock 1000000000"},
		{Key::Output, "window, terminal, file or headless, as in --output terminal"},
		{Key::WindowId, "an X window id, as in --window-id 0x2a00007"},
		{Key::Record, "a file name, as in --record dust.mp4"},
		{Key::PngDirectory, "a directory, as in --png-dir frames"},
		{Key::Soak, "a count, as in --soak 200000"},
	}};
	for (const auto& [key, example] : kExamples) {
		if (key == option.key)
			return Error{std::string(option.name) + " needs " + example};
	}
	return Error{std::string(option.name) + " needs a value"};
}

}	// namespace


Result<CommandLine>
ParseCommandLine(int argc, const char* const argv[])
{
	CommandLine line;
	Options& options = line.options;
	bool moduleGiven = false;
	bool optionsEnded = false;

	auto setModule = [&](std::string_view path) -> Result<void> {
		if (moduleGiven)
			return Error{"the module is given twice (\"" + options.modulePath
				+ "\" and \"" + std::string(path) + "\"); give one"};
		if (path.empty())
			return Error{"the module path is empty"};
		options.modulePath = path;
		moduleGiven = true;
		return {};
	};

	// The option just before, when it takes no value and was given without
	// '=': a value-like word after it was most likely meant for it.
	const OptionSpec* switchBefore = nullptr;
	for (int i = 1; i < argc; i++) {
		std::string_view argument = argv[i];
		const OptionSpec* previous = switchBefore;
		switchBefore = nullptr;

		if (optionsEnded || argument.size() < 2 || argument.front() != '-') {
			if (!optionsEnded && previous != nullptr && LooksLikeValue(argument)) {
				return Error{std::string(previous->name) + " takes no value; \""
					+ std::string(argument) + "\" after it looks like one (an add-on of that "
					"name goes after --module)"};
			}
			Result<void> set = setModule(argument);
			if (!set)
				return Error{set.Message()};
			continue;
		}
		if (argument == "--") {
			optionsEnded = true;
			continue;
		}

		// "--name=value" or "--name value".
		std::string_view name = argument;
		std::optional<std::string_view> value;
		size_t equals = argument.find('=');
		if (argument.substr(0, 2) == "--" && equals != std::string_view::npos) {
			name = argument.substr(0, equals);
			value = argument.substr(equals + 1);
		}

		const OptionSpec* option = FindOption(name);
		if (option == nullptr)
			return Error{"unknown option " + std::string(name)};

		if (!option->takesValue && value)
			return Error{std::string(option->name) + " takes no value"};
		if (!option->takesValue)
			switchBefore = option;
		if (option->takesValue && !value) {
			// The next argument is the value, unless it is another option:
			// "--size --digest" is a forgotten size, not a size of "--digest".
			if (i + 1 >= argc || std::string_view(argv[i + 1]).substr(0, 2) == "--")
				return MissingValue(*option);
			value = argv[++i];
		}

		switch (option->key) {
			case Key::Module:
			{
				Result<void> set = setModule(*value);
				if (!set)
					return Error{set.Message()};
				break;
			}
			case Key::Size:
			{
				Result<Size> size = ParseSize(*value);
				if (!size)
					return Error{size.Message()};
				options.size = size.Value();
				break;
			}
			case Key::Frames:
			{
				Result<int32_t> frames = ParseFrames(*value);
				if (!frames)
					return Error{frames.Message()};
				options.frames = frames.Value();
				break;
			}
			case Key::Preview:
				options.preview = true;
				break;
			case Key::Config:
				options.config = true;
				break;
			case Key::Snapshot:
			{
				Result<std::string> path = ParseSnapshotPath(*value);
				if (!path)
					return Error{path.Message()};
				options.snapshotPath = path.Value();
				break;
			}
			case Key::Digest:
				options.digest = true;
				break;
			case Key::Clock:
			{
				Result<time_t> clock = ParseClock(*value);
				if (!clock)
					return Error{clock.Message()};
				options.clock = clock.Value();
				break;
			}
			case Key::Output:
			{
				Result<std::string> output = ParseOutput(*value);
				if (!output)
					return Error{output.Message()};
				options.output = output.Value();
				break;
			}
			case Key::Window:
				options.output = "window";
				break;
			case Key::Fullscreen:
				options.fullscreen = true;
				break;
			case Key::WindowId:
			{
				Result<unsigned long> id = ParseWindowId(std::string(option->name) + " ", *value);
				if (!id)
					return Error{id.Message()};
				options.windowId = id.Value();
				break;
			}
			case Key::Root:
				options.root = true;
				break;
			case Key::Fps:
				options.fps = true;
				break;
			case Key::Paced:
				options.paced = true;
				break;
			case Key::Record:
			{
				Result<std::string> path = ParseRecordPath(*value);
				if (!path)
					return Error{path.Message()};
				options.recordPath = path.Value();
				break;
			}
			case Key::PngDirectory:
				if (value->empty())
					return Error{"--png-dir needs a directory, as in --png-dir frames"};
				options.pngDirectory = std::string(*value);
				break;
			case Key::Soak:
			{
				Result<int32_t> frames = ParseFrames(*value);
				if (!frames || frames.Value() < 1) {
					return Error{OptionText("--soak", *value)
						+ ": expected a whole number from 1 to " + std::to_string(kMaxFrames)};
				}
				options.soak = frames.Value();
				break;
			}
			case Key::Help:
				line.command = Command::Help;
				return line;
			case Key::Version:
				line.command = Command::Version;
				return line;
		}
	}

	bool windowIdGiven = options.windowId.has_value();
	if (options.soak) {
		Result<void> soak = CheckSoak(options, options.frames.has_value());
		if (!soak)
			return Error{soak.Message()};
		options.output = "headless";
		options.frames = options.soak;
	}
	Result<void> combined = CheckCombinations(options, windowIdGiven);
	if (!combined)
		return Error{combined.Message()};

	// A screen-saver daemon names the window to draw in through the
	// environment; it counts only where the window output could be used, and
	// a window of saverhost's own (--fullscreen) was not asked for.
	const char* daemonWindow = std::getenv("XSCREENSAVER_WINDOW");
	if (!windowIdGiven && !options.fullscreen && daemonWindow != nullptr && *daemonWindow != '\0'
		&& (!options.output || *options.output == "window") && !options.recordPath
		&& !options.pngDirectory) {
		Result<unsigned long> id = ParseWindowId("XSCREENSAVER_WINDOW=", daemonWindow);
		if (!id)
			return Error{id.Message()};
		options.windowId = id.Value();
	}
	return line;
}


std::optional<VideoFormat>
VideoFormatOf(std::string_view path)
{
	std::string extension = LowerExtension(path);
	if (extension == "mp4")
		return VideoFormat::Mp4;
	if (extension == "webm")
		return VideoFormat::Webm;
	if (extension == "gif")
		return VideoFormat::Gif;
	return std::nullopt;
}


const char*
UsageText()
{
	return
		"usage: saverhost [options] [MODULE]\n"
		"\n"
		"Loads a screen-saver add-on and drives it the way the screen-saver host\n"
		"does: the settings panel (with --config), start, one Draw per tick, stop.\n"
		"The frames go to a window, to the terminal, or to files.\n"
		"\n"
		"  MODULE, --module PATH  the add-on to load (default: the Dustglow add-on\n"
		"                         of this build, ../add-ons/Dustglow next to\n"
		"                         saverhost's own directory, or else the one\n"
		"                         installed with it)\n"
		"  --output KIND          where the frames go: window, terminal, file or\n"
		"                         headless (default: chosen at start, see below);\n"
		"                         file needs --record, --png-dir, --snapshot or\n"
		"                         --digest\n"
		"  --size WxH             the full-screen view in pixels for files and\n"
		"                         headless runs, and the window's first size\n"
		"                         (default 640x480, at most 16384 a side)\n"
		"  --frames N             ticks to run (default: until stopped in a window\n"
		"                         or the terminal, 250 for --record and --png-dir,\n"
		"                         else 1; 0 starts and stops the saver without a\n"
		"                         Draw, and cannot go with --record or --png-dir);\n"
		"                         a window or the terminal ticks at the\n"
		"                         saver's period, files and headless runs back to\n"
		"                         back unless --paced\n"
		"  --fullscreen           fill the screen with a window of saverhost's own;\n"
		"                         cannot go with --window-id or --root\n"
		"  --window-id ID         draw into the existing X window ID (decimal, or\n"
		"                         hex as in 0x2a00007)\n"
		"  --root                 draw into the window --window-id or\n"
		"                         XSCREENSAVER_WINDOW names, or else into the root\n"
		"                         window\n"
		"  --fps                  show frames per second, the milliseconds a frame\n"
		"                         costs (Draw and showing it) and the CPU load\n"
		"  --paced                tick at the saver's period in files and headless\n"
		"                         runs too, as a window or the terminal always does\n"
		"  --record FILE          record a video: FILE ends in .mp4, .webm or .gif;\n"
		"                         needs the ffmpeg program; FILE appears when the\n"
		"                         run ends, whole, or not at all\n"
		"  --png-dir DIR          write every frame as DIR/frame-000001.png, ...\n"
		"  --soak FRAMES          run FRAMES frames headless, back to back, and\n"
		"                         check after each that nothing was written outside\n"
		"                         a bitmap and that memory stays flat; then print\n"
		"                         one line: frames, seconds, frames/s, the largest\n"
		"                         resident set, and passed or what failed\n"
		"  --preview              start the saver on the 80x60 preview view instead\n"
		"                         of the full-screen one; a saver that declines the\n"
		"                         preview is not an error\n"
		"  --config               show the saver's settings panel on a 400x300 view\n"
		"                         until a key or a click (without a window or a\n"
		"                         terminal: list the views it holds on standard\n"
		"                         output, one a line: class, frame (left, top,\n"
		"                         right, bottom) and text); then stop, unless an\n"
		"                         option about a run asks for one as well\n"
		"  --snapshot FILE        after the last frame, write the view as an 8-bit\n"
		"                         RGB PNG; FILE ends in .png and is replaced whole\n"
		"                         or not at all\n"
		"  --digest               after every Draw print \"frame N DIGEST\": N from 1,\n"
		"                         DIGEST the 64-bit FNV-1a of the view's red, green\n"
		"                         and blue bytes, row by row, in 16 hex digits\n"
		"  --clock SECONDS        the wall clock the add-on sees, in seconds since\n"
		"                         1970-01-01 00:00 UTC (default: the real clock);\n"
		"                         the same clock and size give the same frames\n"
		"  -h, --help             show this text\n"
		"  --version              show saverhost's version\n"
		"  -root, -window-id ID, -fps, -window, -help\n"
		"                         the single-dash forms that screen-saver daemons\n"
		"                         pass: the same as --root, --window-id ID, --fps,\n"
		"                         --output window and --help\n"
		"\n"
		"Options take their value as the next argument or after '=' (--size=800x600).\n"
		"Standard output carries only the listing, the digests and the soak's\n"
		"summary; everything else goes to standard error.\n"
		"\n"
		"Without --output: --fullscreen, --window-id, --root and the\n"
		"XSCREENSAVER_WINDOW environment variable (which gives way to --window-id\n"
		"and --fullscreen) ask for the window; --record, --png-dir and --digest\n"
		"for files (headless when nothing is written); else a window when DISPLAY\n"
		"or WAYLAND_DISPLAY names a display that opens (on Wayland itself where it\n"
		"is named), else the terminal when standard output is one and shows\n"
		"colour, else headless.\n"
		"\n"
		"In a window of its own, a key, a click, a mouse move or closing the window\n"
		"stops the run; in the terminal, q or Esc; in a borrowed window (--root,\n"
		"--window-id, XSCREENSAVER_WINDOW), only a signal or the window going away.\n"
		"SIGINT, SIGTERM and SIGHUP stop any run.\n"
		"\n"
		"Exit status: 0 on success, a declined preview included; 1 when the module\n"
		"cannot be loaded or started, an output cannot start, a file cannot be\n"
		"written, or a soak fails; 2 when the command line is wrong; 128 + the\n"
		"signal number when interrupted.\n";
}


const char*
VersionText()
{
	return "saverhost 0.1\n";
}
