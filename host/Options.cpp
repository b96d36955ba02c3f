#include "Options.h"

#include <array>
#include <charconv>
#include <limits>
#include <string_view>


namespace {

enum class Key { Module, Size, Frames, Preview, Config, Snapshot, Digest, Clock, Help,
	Version };

struct OptionSpec {
	std::string_view name;
	Key key;
	bool takesValue;
};

constexpr std::array<OptionSpec, 11> kOptions = {{
	{"--module", Key::Module, true},
	{"--size", Key::Size, true},
	{"--frames", Key::Frames, true},
	{"--preview", Key::Preview, false},
	{"--config", Key::Config, false},
	{"--snapshot", Key::Snapshot, true},
	{"--digest", Key::Digest, false},
	{"--clock", Key::Clock, true},
	{"--help", Key::Help, false},
	{"-h", Key::Help, false},
	{"--version", Key::Version, false},
}};


const OptionSpec*
FindOption(std::string_view name)
{
	for (const OptionSpec& spec : kOptions) {
		if (spec.name == name)
			return &spec;
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


Error
MissingValue(const OptionSpec& spec)
{
	static const std::array<std::pair<Key, const char*>, 5> kExamples = {{
		{Key::Module, "a path, as in --module build/add-ons/Dustglow"},
		{Key::Size, "a size, as in --size 640x480"},
		{Key::Frames, "a count, as in --frames 25"},
		{Key::Snapshot, "a file name, as in --snapshot frame.png"},
		{Key::Clock, "seconds since the epoch, as in --clock 1000000000"},
	}};
	for (const auto& [key, example] : kExamples) {
		if (key == spec.key)
			return Error{std::string(spec.name) + " needs " + example};
	}
	return Error{std::string(spec.name) + " needs a value"};
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

	for (int i = 1; i < argc; i++) {
		std::string_view argument = argv[i];

		if (optionsEnded || argument.size() < 2 || argument.front() != '-') {
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

		const OptionSpec* spec = FindOption(name);
		if (spec == nullptr)
			return Error{"unknown option " + std::string(name)};

		if (!spec->takesValue && value)
			return Error{std::string(spec->name) + " takes no value"};
		if (spec->takesValue && !value) {
			// The next argument is the value, unless it is another option:
			// "--size --digest" is a forgotten size, not a size of "--digest".
			if (i + 1 >= argc || std::string_view(argv[i + 1]).substr(0, 2) == "--")
				return MissingValue(*spec);
			value = argv[++i];
		}

		switch (spec->key) {
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
				if (value->empty())
					return Error{"--snapshot needs a file name, as in --snapshot frame.png"};
				options.snapshotPath = std::string(*value);
				break;
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
			case Key::Help:
				line.command = Command::Help;
				return line;
			case Key::Version:
				line.command = Command::Version;
				return line;
		}
	}
	return line;
}


const char*
UsageText()
{
	return
		"usage: saverhost [options] [MODULE]\n"
		"\n"
		"Loads a screen-saver add-on and drives it the way the screen-saver host\n"
		"does: the settings panel (with --config), start, one Draw per tick, stop.\n"
		"Without a window to show them in, the frames are computed and can be\n"
		"checked with --digest or saved with --snapshot.\n"
		"\n"
		"  MODULE, --module PATH  the add-on to load (default: the Dustglow add-on\n"
		"                         of this build, ../add-ons/Dustglow next to\n"
		"                         saverhost's own directory)\n"
		"  --size WxH             the full-screen view in pixels (default 640x480,\n"
		"                         at most 16384 a side)\n"
		"  --frames N             ticks to run, back to back without waiting for\n"
		"                         the saver's tick (default 1; 0 starts and stops\n"
		"                         the saver without a Draw)\n"
		"  --preview              start the saver on the 80x60 preview view instead\n"
		"                         of the full-screen one; a saver that declines the\n"
		"                         preview is not an error\n"
		"  --config               show the saver's settings panel on a 400x300 view\n"
		"                         and list the views it holds, one a line: class,\n"
		"                         frame (left, top, right, bottom) and text; then\n"
		"                         stop, unless --frames, --preview, --snapshot or\n"
		"                         --digest asks for a run as well\n"
		"  --snapshot FILE        after the last frame, write the view as an 8-bit\n"
		"                         RGB PNG; FILE is replaced whole or not at all\n"
		"  --digest               after every Draw print \"frame N DIGEST\": N from 1,\n"
		"                         DIGEST the 64-bit FNV-1a of the view's red, green\n"
		"                         and blue bytes, row by row, in 16 hex digits\n"
		"  --clock SECONDS        the wall clock the add-on sees, in seconds since\n"
		"                         1970-01-01 00:00 UTC (default: the real clock);\n"
		"                         the same clock and size give the same frames\n"
		"  -h, --help             show this text\n"
		"  --version              show saverhost's version\n"
		"\n"
		"Options take their value as the next argument or after '=' (--size=800x600).\n"
		"Standard output carries only the listing and the digests; everything\n"
		"else goes to standard error.\n"
		"\n"
		"Exit status: 0 on success, a declined preview included; 1 when the module\n"
		"cannot be loaded or started or a file cannot be written; 2 when the\n"
		"command line is wrong; 128 + the signal number when interrupted.\n";
}


const char*
VersionText()
{
	return "saverhost 0.1\n";
}
