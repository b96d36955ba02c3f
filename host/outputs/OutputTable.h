// The outputs saverhost has, best first, as one table: --output takes their
// names, --help lists them, the automatic choice walks them in this order,
// and the run makes the one it takes from its row. Adding an output is a
// folder of its own under outputs/ and one row here.
#ifndef SAVERHOST_OUTPUT_TABLE_H
#define SAVERHOST_OUTPUT_TABLE_H

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/Options.h"
#include "base/OutputKind.h"
#include "outputs/IdleWatch.h"
#include "outputs/Output.h"
#include "outputs/Screens.h"

// What the host can see of where it runs.
struct OutputSurroundings {
	// DISPLAY names an X display (whether it opens is found out by opening
	// it).
	bool display = false;
	// Standard output is a terminal.
	bool terminal = false;
	// WAYLAND_DISPLAY names a Wayland compositor.
	bool wayland = false;
};

// How an output fits a run that did not name one.
enum class OutputFit {
	// Not here: the automatic choice passes it by.
	No,
	// It may work here: tried in the table's order, each failure moving on
	// to the next.
	Yes,
	// The options ask for what only it does (files to write, a digest that
	// nobody watches): taken alone.
	Only,
};

struct OutputEntry {
	OutputKind kind;
	// As --output takes it.
	const char* name;
	// The family --output also names it by: Window ("window") for the
	// windows of Wayland and X, which the first that fits here answers;
	// else its own kind.
	OutputKind family;
	// When the automatic choice takes it, and what it needs, for --help.
	const char* needs;
	OutputFit (*fits)(const Options& options, const OutputSurroundings& surroundings);
	// The output, not yet opened.
	std::unique_ptr<Output> (*make)();
	// Every monitor covered (--screensaver), and the session's idleness
	// (--idle), not yet opened; null where this output has no such thing.
	std::unique_ptr<Screens> (*makeScreens)();
	std::unique_ptr<IdleWatch> (*makeIdleWatch)();
};

// The rows, best first: for (const OutputEntry& entry : Outputs()).
struct OutputRows {
	const OutputEntry* begin() const;
	const OutputEntry* end() const;
};
inline OutputRows Outputs() { return {}; }

const OutputEntry& OutputRow(OutputKind kind);
// Whether the row is what kind names: itself, or its family.
inline bool
Answers(const OutputEntry& entry, OutputKind kind)
{
	return entry.kind == kind || entry.family == kind;
}
// What --output NAME names: a row's kind, or a family's; none for a name
// that is neither.
std::optional<OutputKind> FindOutput(std::string_view name);
// The name --output gives a row or a family by.
std::string OutputName(OutputKind kind);
// The names, as a sentence lists them: "window, wayland, x11, terminal, file
// or headless".
std::string OutputNames();

#endif	// SAVERHOST_OUTPUT_TABLE_H
