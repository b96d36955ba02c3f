// saverhost's options as one table: each row names an option, says what it
// does for --help, and applies it to the command line being read. The
// parser and the usage text both walk it; adding an option is one row.
#ifndef SAVERHOST_OPTION_TABLE_H
#define SAVERHOST_OPTION_TABLE_H

#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"
#include "run/CommandLine.h"

// An option as the user gave it.
struct GivenOption {
	// The name as typed ("--window-id", or a daemon's "-window-id").
	std::string_view name;
	// Its value; empty for a switch.
	std::string_view value;
};

struct OptionEntry {
	// "--size"; and another name it goes by, such as "-h", or empty.
	std::string name;
	std::string alias;
	// What the value stands for in --help ("WxH"); empty for a switch.
	std::string value;
	// What a missing value should be: "a size, as in --size 640x480".
	std::string example;
	// What it does, for --help: one paragraph, wrapped when shown.
	std::string help;
	Result<void> (*apply)(CommandLine& line, const GivenOption& given);

	bool TakesValue() const { return !value.empty(); }
};

// The rows, in the order --help lists them.
const std::vector<OptionEntry>& OptionTable();

// The row for a name as typed, or none.
const OptionEntry* FindOptionEntry(std::string_view name);

// The single-dash forms that screen-saver daemons and lockers pass, as
// another spelling of an option in the table, with a value where the form
// implies one: -window is --output window.
struct DaemonForm {
	const char* name;
	const char* option;
	const char* value;
};
const std::vector<DaemonForm>& DaemonForms();
const DaemonForm* FindDaemonForm(std::string_view name);

#endif	// SAVERHOST_OPTION_TABLE_H
