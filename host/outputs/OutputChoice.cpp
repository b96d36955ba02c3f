#include "outputs/OutputChoice.h"

#include <unistd.h>

#include <cstdlib>


namespace {

bool
Named(const char* variable)
{
	const char* value = std::getenv(variable);
	return value != nullptr && *value != '\0';
}


// The window that --output window or a window's option asks for: the first
// of the family that fits here.
Result<OutputKind>
AskedWindow(const Options& options, const OutputSurroundings& surroundings)
{
	for (const OutputEntry& entry : Outputs()) {
		if (Answers(entry, OutputKind::Window)
			&& entry.fits(options, surroundings) != OutputFit::No)
			return entry.kind;
	}
	std::string option = options.output ? "--output window"
		: options.fullscreen ? "--fullscreen"
		: options.root ? "--root" : "--window-id";
	// Windows of others are X windows.
	std::string variables = options.windowId || options.root ? "DISPLAY"
		: "WAYLAND_DISPLAY or DISPLAY";
	return Error{"no display for " + option + " (is " + variables + " set?); try --output "
		"terminal"};
}


// The output --output or a window's option asked for: that one alone.
Result<OutputPlan>
PlanAsked(const Options& options, const OutputSurroundings& surroundings)
{
	OutputPlan plan;
	plan.asked = true;
	OutputKind kind = options.output.value_or(OutputKind::Window);
	if (kind == OutputKind::Window) {
		Result<OutputKind> window = AskedWindow(options, surroundings);
		if (!window)
			return Error{window.Message()};
		kind = window.Value();
	}
	// The file output with nothing but a snapshot or digests to write draws
	// them headless.
	if (kind == OutputKind::File && !options.WritesFiles())
		kind = OutputKind::Headless;
	plan.candidates = {kind};
	return plan;
}

}	// namespace


OutputSurroundings
LookAround()
{
	OutputSurroundings surroundings;
	surroundings.display = Named("DISPLAY");
	surroundings.terminal = isatty(STDOUT_FILENO) == 1;
	surroundings.wayland = Named("WAYLAND_DISPLAY");
	return surroundings;
}


Result<OutputPlan>
PlanOutput(const Options& options, const OutputSurroundings& surroundings)
{
	if (options.output || options.WantsWindow())
		return PlanAsked(options, surroundings);

	// An output that the options ask for alone is taken alone; else every one
	// that fits here, best first.
	OutputPlan plan;
	for (const OutputEntry& entry : Outputs()) {
		OutputFit fit = entry.fits(options, surroundings);
		if (fit == OutputFit::Only) {
			plan.candidates = {entry.kind};
			return plan;
		}
		if (fit == OutputFit::Yes)
			plan.candidates.push_back(entry.kind);
	}

	// A bare run with nowhere to show it would otherwise end without a word.
	bool asksForSomething = options.frames || options.snapshotPath || options.config
		|| options.preview || options.soak;
	if (!surroundings.display && !surroundings.wayland && !surroundings.terminal
		&& !asksForSomething) {
		plan.notice = "no display, and standard output is not a terminal: running "
			"headless, with nothing shown; try --record dust.mp4 or --snapshot dust.png";
	}
	return plan;
}


namespace {

// The rows with the column, best first, that --output names or that fit.
template<typename Made>
Result<std::vector<OutputKind>>
PlanWith(std::unique_ptr<Made> (*OutputEntry::*column)(), const char* option,
	const Options& options, const OutputSurroundings& surroundings)
{
	std::vector<OutputKind> kinds;
	bool answered = false;
	for (const OutputEntry& entry : Outputs()) {
		if (entry.*column == nullptr || (options.output && !Answers(entry, *options.output)))
			continue;
		// A row named by itself is taken; of a family, those that fit.
		answered = true;
		if (options.output == entry.kind || entry.fits(options, surroundings) != OutputFit::No)
			kinds.push_back(entry.kind);
	}
	if (options.output && !answered) {
		return Error{std::string(option) + " cannot go with --output "
			+ OutputName(*options.output)};
	}
	if (kinds.empty()) {
		return Error{std::string("no display for ") + option
			+ " (is WAYLAND_DISPLAY or DISPLAY set?)"};
	}
	return kinds;
}

}	// namespace


Result<std::vector<OutputKind>>
PlanScreens(const Options& options, const OutputSurroundings& surroundings)
{
	return PlanWith(&OutputEntry::makeScreens, options.idleSeconds ? "--idle" : "--screensaver",
		options, surroundings);
}


Result<std::vector<OutputKind>>
PlanIdleWatch(const Options& options, const OutputSurroundings& surroundings)
{
	return PlanWith(&OutputEntry::makeIdleWatch, "--idle", options, surroundings);
}
