// saverhost's command line from any bytes: the input split at NUL bytes, the
// first piece the XSCREENSAVER_WINDOW variable (none when empty), the rest the
// arguments. A parse must give the same answer twice, and what it accepts must
// be within the host's limits.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/ViewSizes.h"
#include "outputs/OutputTable.h"
#include "run/CommandLine.h"


namespace {

void
Require(bool condition, const char* what)
{
	if (!condition) {
		std::fprintf(stderr, "check failed: %s\n", what);
		std::abort();
	}
}


// Everything a parse decided, in one string, to compare two parses by.
std::string
Describe(const Result<CommandLine>& parsed)
{
	if (!parsed)
		return "error " + parsed.Message();
	const CommandLine& line = parsed.Value();
	const Options& o = line.options;
	auto optional = [](const auto& value) {
		return value ? std::to_string(*value) : std::string("-");
	};
	return std::to_string(static_cast<int>(line.command)) + " " + o.modulePath + " "
		+ std::to_string(o.size.width) + "x" + std::to_string(o.size.height) + " "
		+ optional(o.frames) + " " + optional(o.clock) + " " + optional(o.windowId) + " "
		+ optional(o.soak) + " "
		+ o.snapshotPath.value_or("-") + " " + (o.output ? OutputRow(*o.output).name : "-") + " "
		+ o.recordPath.value_or("-") + " " + o.pngDirectory.value_or("-") + " "
		+ std::to_string(o.preview) + std::to_string(o.config) + std::to_string(o.digest)
		+ std::to_string(o.fullscreen) + std::to_string(o.root) + std::to_string(o.fps)
		+ std::to_string(o.paced);
}

}	// namespace


extern "C" int
LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	std::vector<std::string> pieces(1);
	for (size_t i = 0; i < size; i++) {
		if (data[i] == '\0')
			pieces.emplace_back();
		else
			pieces.back() += static_cast<char>(data[i]);
	}

	if (pieces[0].empty())
		unsetenv("XSCREENSAVER_WINDOW");
	else
		setenv("XSCREENSAVER_WINDOW", pieces[0].c_str(), 1);

	std::vector<const char*> argv = {"saverhost"};
	for (size_t i = 1; i < pieces.size(); i++)
		argv.push_back(pieces[i].c_str());
	argv.push_back(nullptr);
	int argc = static_cast<int>(argv.size() - 1);

	Result<CommandLine> first = ParseCommandLine(argc, argv.data());
	Result<CommandLine> second = ParseCommandLine(argc, argv.data());
	Require(Describe(first) == Describe(second), "the same command line parses the same");

	if (!first) {
		Require(!first.Message().empty(), "a refusal says why");
		return 0;
	}
	// --help and --version end the parse where they stand: the options
	// before them are never used, so they need not hang together.
	if (first.Value().command != Command::Run)
		return 0;
	const Options& options = first.Value().options;
	Require(options.size.width >= 1 && options.size.width <= kMaxViewSide
		&& options.size.height >= 1 && options.size.height <= kMaxViewSide,
		"the view size is within the limits");
	Require(!options.frames || (*options.frames >= 0 && *options.frames <= kMaxFrames),
		"the frame count is within the limits");
	Require(!options.soak || (*options.soak >= 1 && options.frames == options.soak
		&& options.output == OutputKind::Headless && !options.preview),
		"a soak runs headless on the full-screen view for its own count of frames");
	auto endsInPng = [](std::string path) {
		for (char& c : path)
			c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
		return path.size() >= 4 && path.compare(path.size() - 4, 4, ".png") == 0;
	};
	Require(!options.snapshotPath || endsInPng(*options.snapshotPath),
		"a snapshot path ends in .png");
	Require(!options.fullscreen || (!options.windowId && !options.root),
		"a window of its own, or one that is there already");
	Require(!options.recordPath || !options.recordPath->empty(),
		"a record path is not empty");
	Require(!options.pngDirectory || !options.pngDirectory->empty(),
		"a PNG directory is not empty");
	return 0;
}
