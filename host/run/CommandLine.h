// saverhost's command line: read into Options through the table of options
// (run/OptionTable.h), which also makes --help.
#ifndef SAVERHOST_COMMAND_LINE_H
#define SAVERHOST_COMMAND_LINE_H

#include <string>

#include "base/Options.h"
#include "base/Result.h"

enum class Command { Run, Help, Version };

struct CommandLine {
	Command command = Command::Run;
	Options options;
};

// The parsed command line, or a one-line message about what is wrong with it.
Result<CommandLine> ParseCommandLine(int argc, const char* const argv[]);

// --help, for the program called name.
std::string UsageText(const std::string& name = "saverhost");
const char* VersionText();

#endif	// SAVERHOST_COMMAND_LINE_H
