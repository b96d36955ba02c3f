#include "run/CommandLine.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "outputs/OutputTable.h"
#include "run/OptionTable.h"
#include "run/OptionValues.h"


namespace {

const char*
WindowOption(const Options& options)
{
	return options.fullscreen ? "--fullscreen" : options.root ? "--root" : "--window-id";
}


std::string
OutputText(OutputKind kind)
{
	return "--output " + OutputName(kind);
}


// A soak is a headless run of its own length on the full-screen view.
Result<void>
CheckSoak(const Options& options)
{
	std::optional<std::string> other;
	if (options.frames)
		other = "--frames";
	else if (options.preview)
		other = "--preview";
	else if (options.output && *options.output != OutputKind::Headless)
		other = OutputText(*options.output);
	else if (options.WantsWindow())
		other = WindowOption(options);
	else if (options.WritesFiles())
		other = options.recordPath ? "--record" : "--png-dir";
	else if (options.paced)
		other = "--paced";
	else if (options.terminalPixels)
		other = "--terminal-pixels";
	if (other)
		return Error{"--soak runs headless on the full-screen view for its own count of "
			"frames; it cannot go with " + *other};
	return {};
}


// --screensaver and --idle cover every monitor at its own size until the
// user's first touch: options about one window, files, one view or a count
// of frames for --idle's endless round make no sense with them.
Result<void>
CheckScreens(const Options& options)
{
	const char* option = options.idleSeconds ? "--idle" : "--screensaver";
	std::optional<std::string> other;
	if (options.WantsWindow())
		other = WindowOption(options);
	else if (options.soak)
		other = "--soak";
	else if (options.WritesFiles())
		other = options.recordPath ? "--record" : "--png-dir";
	else if (options.snapshotPath || options.digest)
		other = options.snapshotPath ? "--snapshot" : "--digest";
	else if (options.preview || options.config)
		other = options.preview ? "--preview" : "--config";
	else if (options.idleSeconds && options.frames)
		other = "--frames";
	else if (options.terminalPixels)
		other = "--terminal-pixels";
	else if (options.output && std::none_of(Outputs().begin(), Outputs().end(),
			[&](const OutputEntry& entry) {
				return Answers(entry, *options.output) && entry.makeScreens != nullptr;
			}))
		other = OutputText(*options.output);
	if (other) {
		return Error{std::string(option) + " covers every monitor until the user's first "
			"touch; it cannot go with " + *other};
	}
	return {};
}


// Options that each make sense alone but not together.
Result<void>
CheckCombinations(const Options& options)
{
	const char* windowOption = options.fullscreen ? "--fullscreen"
		: options.windowId ? "--window-id" : options.root ? "--root" : nullptr;
	const char* fileOption = options.recordPath ? "--record"
		: options.pngDirectory ? "--png-dir" : nullptr;

	// The screen filled with a window of saverhost's own, or a window that
	// is there already: not both.
	if (options.fullscreen && (options.windowId || options.root)) {
		return Error{std::string("--fullscreen fills the screen with a window of its own; it "
			"cannot go with ") + (options.root ? "--root" : "--window-id")
			+ ", which draws in a window that is there already"};
	}
	if (windowOption != nullptr && options.output
		&& !Answers(OutputRow(*options.output), OutputKind::Window)) {
		return Error{std::string(windowOption) + " needs the window; it cannot go with "
			+ OutputText(*options.output)};
	}
	if ((options.windowId || options.root) && options.output == OutputKind::Wayland) {
		return Error{std::string(options.root ? "--root" : "--window-id") + " draws in an X "
			"window; it cannot go with --output wayland"};
	}
	if (fileOption != nullptr && options.output && *options.output != OutputKind::File) {
		return Error{std::string(fileOption) + " writes files; it cannot go with "
			+ OutputText(*options.output)};
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
	if (options.output == OutputKind::File && !fileOption && !options.snapshotPath
		&& !options.digest) {
		return Error{"--output file needs something to write: --record FILE, --png-dir DIR, "
			"--snapshot FILE or --digest"};
	}
	return {};
}


// --terminal-pixels says how the terminal shows the picture, and so asks for
// the terminal: alone it stands for --output terminal, and it cannot go with
// an output that is not the terminal.
Result<void>
TakeTerminalPixels(Options& options)
{
	if (!options.terminalPixels)
		return {};
	std::optional<std::string> other;
	if (options.output && *options.output != OutputKind::Terminal)
		other = OutputText(*options.output);
	else if (options.WantsWindow())
		other = WindowOption(options);
	else if (options.WritesFiles())
		other = options.recordPath ? "--record" : "--png-dir";
	if (other) {
		return Error{"--terminal-pixels is how the terminal shows the picture; it cannot go "
			"with " + *other};
	}
	options.output = OutputKind::Terminal;
	return {};
}


// A screen-saver daemon names the window to draw in through the environment;
// it counts only where the window output could be used, and a window of
// saverhost's own (--fullscreen) was not asked for.
Result<void>
TakeDaemonWindow(Options& options)
{
	const char* daemonWindow = std::getenv("XSCREENSAVER_WINDOW");
	if (options.windowId || options.fullscreen || daemonWindow == nullptr
		|| *daemonWindow == '\0'
		|| (options.output && *options.output != OutputKind::Window
			&& *options.output != OutputKind::X11)
		|| options.WritesFiles()) {
		return {};
	}
	Result<unsigned long> id = ParseWindowId("XSCREENSAVER_WINDOW=", daemonWindow);
	if (!id)
		return Error{id.Message()};
	options.windowId = id.Value();
	return {};
}


// The checks once every option is in, and what follows from them.
Result<void>
Conclude(Options& options)
{
	if (options.CoversScreens())
		return CheckScreens(options);
	if (options.soak) {
		Result<void> soak = CheckSoak(options);
		if (!soak)
			return soak;
		options.output = OutputKind::Headless;
		options.frames = options.soak;
	}
	Result<void> combined = CheckCombinations(options);
	if (!combined)
		return combined;
	Result<void> terminal = TakeTerminalPixels(options);
	if (!terminal)
		return terminal;
	return TakeDaemonWindow(options);
}



// How the argument at index is read: its option and value, or as the add-on.
class ArgumentReader {
public:
	ArgumentReader(int argc, const char* const argv[]) : fCount(argc), fArguments(argv) {}

	Result<CommandLine> Read();

private:
	Result<void> _ReadPositional(std::string_view argument, std::string_view switchBefore);
	Result<std::string_view> _ReadOption(int& index);

	int fCount;
	const char* const* fArguments;
	CommandLine fLine;
	bool fOptionsEnded = false;
};


Result<CommandLine>
ArgumentReader::Read()
{
	// The option just before, as typed, when it takes no value: a value-like
	// word after it was most likely meant for it.
	std::string_view switchBefore;
	for (int i = 1; i < fCount && fLine.command == Command::Run; i++) {
		std::string_view argument = fArguments[i];
		std::string_view previous = switchBefore;
		switchBefore = {};
		if (fOptionsEnded || argument.size() < 2 || argument.front() != '-') {
			if (Result<void> read = _ReadPositional(argument, previous); !read)
				return Error{read.Message()};
		} else if (argument == "--") {
			fOptionsEnded = true;
		} else {
			Result<std::string_view> read = _ReadOption(i);
			if (!read)
				return Error{read.Message()};
			switchBefore = read.Value();
		}
	}
	if (fLine.command != Command::Run)
		return fLine;
	if (Result<void> concluded = Conclude(fLine.options); !concluded)
		return Error{concluded.Message()};
	return fLine;
}


Result<void>
ArgumentReader::_ReadPositional(std::string_view argument, std::string_view switchBefore)
{
	if (!fOptionsEnded && !switchBefore.empty() && LooksLikeValue(argument)) {
		return Error{std::string(switchBefore) + " takes no value; \"" + std::string(argument)
			+ "\" after it looks like one (an add-on of that name goes after --module)"};
	}
	return FindOptionEntry("--module")->apply(fLine, {"MODULE", argument});
}


// The option at index, "--name=value" or "--name value" (index then moves
// past the value); gives its name as typed when it is a switch.
Result<std::string_view>
ArgumentReader::_ReadOption(int& index)
{
	std::string_view argument = fArguments[index];
	GivenOption given{argument, {}};
	std::optional<std::string_view> value;
	size_t equals = argument.find('=');
	if (argument.substr(0, 2) == "--" && equals != std::string_view::npos) {
		given.name = argument.substr(0, equals);
		value = argument.substr(equals + 1);
	}

	const OptionEntry* option = FindOptionEntry(given.name);
	const DaemonForm* form = option == nullptr ? FindDaemonForm(given.name) : nullptr;
	if (form != nullptr) {
		option = FindOptionEntry(form->option);
		if (form->value != nullptr)
			value = form->value;
	}
	if (option == nullptr)
		return Error{"unknown option " + std::string(given.name)};

	if (!option->TakesValue() && value)
		return Error{std::string(given.name) + " takes no value"};
	bool isSwitch = !value && !option->TakesValue();
	if (option->TakesValue() && !value) {
		// The next argument is the value, unless it is another option:
		// "--size --digest" is a forgotten size, not a size of "--digest".
		if (index + 1 >= fCount || std::string_view(fArguments[index + 1]).substr(0, 2) == "--")
			return Error{std::string(given.name) + " needs " + option->example};
		value = fArguments[++index];
	}
	given.value = value.value_or(std::string_view());
	if (Result<void> applied = option->apply(fLine, given); !applied)
		return Error{applied.Message()};
	return isSwitch || (form != nullptr && form->value != nullptr) ? given.name
		: std::string_view();
}

}	// namespace


Result<CommandLine>
ParseCommandLine(int argc, const char* const argv[])
{
	return ArgumentReader(argc, argv).Read();
}


namespace {

constexpr size_t kUsageWidth = 78;
constexpr size_t kHelpColumn = 25;


// text's words in lines of at most kUsageWidth columns, each but the first
// indented to column indent, after a first line that starts at column start.
std::string
Wrapped(const std::string& text, size_t start, size_t indent)
{
	std::string wrapped;
	size_t column = start;
	size_t at = 0;
	while (at < text.size()) {
		size_t end = text.find(' ', at);
		if (end == std::string::npos)
			end = text.size();
		std::string word = text.substr(at, end - at);
		at = end + 1;
		if (column > indent && column + 1 + word.size() > kUsageWidth) {
			wrapped += "\n" + std::string(indent, ' ');
			column = indent;
		} else if (column > indent) {
			wrapped += ' ';
			column++;
		}
		wrapped += word;
		column += word.size();
	}
	return wrapped + "\n";
}


// "  --size WxH             the full-screen view ...", the help at its column.
std::string
Entry(const std::string& names, const std::string& help)
{
	std::string line = "  " + names;
	if (line.size() + 2 > kHelpColumn)
		line += "\n" + std::string(kHelpColumn, ' ');
	else
		line += std::string(kHelpColumn - line.size(), ' ');
	return line + Wrapped(help, kHelpColumn, kHelpColumn);
}


// items as a sentence lists them, the last after lastSeparator.
std::string
Joined(const std::vector<std::string>& items, const char* lastSeparator)
{
	std::string joined;
	for (size_t i = 0; i < items.size(); i++) {
		if (i > 0)
			joined += i + 1 == items.size() ? lastSeparator : ", ";
		joined += items[i];
	}
	return joined;
}


std::string
OptionList()
{
	std::string list;
	for (const OptionEntry& entry : OptionTable()) {
		std::string names = (entry.alias.empty() ? "" : entry.alias + ", ") + entry.name
			+ (entry.TakesValue() ? " " + entry.value : "");
		list += Entry(names, entry.help);
	}

	std::vector<std::string> forms;
	std::vector<std::string> meanings;
	for (const DaemonForm& form : DaemonForms()) {
		const OptionEntry* option = FindOptionEntry(form.option);
		std::string value = form.value != nullptr ? form.value : option->value;
		forms.push_back(form.name + (form.value == nullptr && option->TakesValue()
			? " " + value : std::string()));
		meanings.push_back(form.option + (value.empty() ? "" : " " + value));
	}
	return list + Entry(Joined(forms, ", "), "the single-dash forms that screen-saver "
		"daemons pass: the same as " + Joined(meanings, " and "));
}


// Which output a run takes without --output, from the table of outputs.
std::string
OutputList()
{
	std::string list = Wrapped("Without --output: --fullscreen, --window-id, --root and the "
		"XSCREENSAVER_WINDOW environment variable (which gives way to --window-id and "
		"--fullscreen) ask for the window; else the first of these that works:", 0, 0);
	for (const OutputEntry& entry : Outputs())
		list += Entry(entry.name, entry.needs);
	return list;
}

}	// namespace


std::string
UsageText(const std::string& name)
{
	return "usage: " + name + " [options] [MODULE]\n\n"
		+ Wrapped("Loads a screen-saver add-on and drives it the way the screen-saver host "
			"does: the settings panel (with --config), start, one Draw per tick, stop. The "
			"frames go to a window, to the terminal, or to files.", 0, 0)
		+ "\n" + OptionList() + "\n"
		+ Wrapped("Options take their value as the next argument or after '=' "
			"(--size=800x600). Standard output carries only the listing, the digests and "
			"the soak's summary; everything else goes to standard error.", 0, 0)
		+ "\n" + OutputList() + "\n"
		+ Wrapped("In a window of its own and with --screensaver, a key, a click, a mouse move "
			"or closing the window stops the run; in the terminal, q or Esc; in a borrowed "
			"window (--root, --window-id, XSCREENSAVER_WINDOW), only a signal or the window "
			"going away. "
			"SIGINT, SIGTERM and SIGHUP stop any run.", 0, 0)
		+ "\n"
		+ Wrapped("Exit status: 0 on success, a declined preview included; 1 when the module "
			"cannot be loaded or started, an output cannot start, a file cannot be "
			"written, or a soak fails; 2 when the command line is wrong. Stopped by "
			"SIGINT, SIGTERM or SIGHUP, it puts back the window or the terminal and then "
			"ends by that signal (a shell reports 128 + its number).", 0, 0);
}


const char*
VersionText()
{
	return "saverhost 0.1\n";
}
