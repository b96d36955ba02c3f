// saverhost: loads a screen-saver add-on and drives it as the platform's
// screen-saver host does, showing its frames in a window, in the terminal or
// writing them to files. Installed under the name dustglow as well (a link),
// it is the Dustglow screen saver that screen-saver daemons run.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "base/Report.h"
#include "module/SaverModule.h"
#include "run/CommandLine.h"
#include "run/IdleRun.h"
#include "run/Interrupt.h"
#include "run/SaverRunner.h"


namespace {

constexpr const char* kScreenSaverName = "dustglow";

}	// namespace


int
main(int argc, char* argv[])
{
	const char* called = argc > 0 ? std::strrchr(argv[0], '/') : nullptr;
	called = called != nullptr ? called + 1 : argc > 0 ? argv[0] : "";
	if (std::strcmp(called, kScreenSaverName) == 0)
		ProgramName() = kScreenSaverName;

	Result<CommandLine> parsed = ParseCommandLine(argc, argv);
	if (!parsed) {
		Report(parsed.Message());
		std::fprintf(stderr, "try '%s --help'\n", ProgramName().c_str());
		return kExitUsage;
	}

	const CommandLine& line = parsed.Value();
	if (line.command == Command::Help) {
		std::fputs(UsageText(ProgramName()).c_str(), stdout);
		return std::fflush(stdout) == 0 ? kExitSuccess : kExitFailure;
	}
	if (line.command == Command::Version) {
		std::fputs(VersionText(), stdout);
		return std::fflush(stdout) == 0 ? kExitSuccess : kExitFailure;
	}

	std::string modulePath = line.options.modulePath;
	if (modulePath.empty()) {
		Result<std::string> found = DefaultModulePath();
		if (!found)
			return Fail(found.Message());
		modulePath = found.Value();
	}

	int status;
	try {
		status = line.options.idleSeconds ? RunWhenIdle(line.options, modulePath)
			: RunSaver(line.options, modulePath);
	} catch (const std::bad_alloc&) {
		return Fail("out of memory; try a smaller --size");
	} catch (const std::exception& exception) {
		return Fail(std::string("the saver failed: ") + exception.what());
	}

	// Digests and listings that never reached their reader are a failure,
	// not a success.
	bool written = std::fflush(stdout) == 0 && !std::ferror(stdout);
	if (!written)
		Report("cannot write to standard output");
	// A run that a signal stopped has put everything back and said so; the
	// process now ends by that signal.
	if (status > kExitSignalBase)
		DieBySignal(status - kExitSignalBase);
	return !written && status == kExitSuccess ? kExitFailure : status;
}
