// saverhost: loads a screen-saver add-on and drives it as the platform's
// screen-saver host does, showing its frames in a window, in the terminal or
// writing them to files.
#include <cstdio>
#include <exception>

#include "base/Report.h"
#include "module/SaverModule.h"
#include "run/Options.h"
#include "run/SaverRunner.h"


int
main(int argc, char* argv[])
{
	Result<CommandLine> parsed = ParseCommandLine(argc, argv);
	if (!parsed) {
		Report(parsed.Message());
		std::fprintf(stderr, "try 'saverhost --help'\n");
		return kExitUsage;
	}

	const CommandLine& line = parsed.Value();
	if (line.command == Command::Help) {
		std::fputs(UsageText(), stdout);
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
		status = RunSaver(line.options, modulePath);
	} catch (const std::bad_alloc&) {
		return Fail("out of memory; try a smaller --size");
	} catch (const std::exception& exception) {
		return Fail(std::string("the saver failed: ") + exception.what());
	}

	// Digests and listings that never reached their reader are a failure,
	// not a success.
	if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
		Report("cannot write to standard output");
		return status == kExitSuccess ? kExitFailure : status;
	}
	return status;
}
