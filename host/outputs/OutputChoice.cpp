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


// Files to write make the file output; without any the frames go nowhere.
OutputKind
FileOrHeadless(const Options& options)
{
	return options.recordPath || options.pngDirectory ? OutputKind::File
		: OutputKind::Headless;
}

}	// namespace


OutputSurroundings
LookAround()
{
	OutputSurroundings surroundings;
	surroundings.display = Named("DISPLAY") || Named("WAYLAND_DISPLAY");
	surroundings.terminal = isatty(STDOUT_FILENO) == 1;
	return surroundings;
}


const char*
OutputName(OutputKind kind)
{
	switch (kind) {
		case OutputKind::Window:
			return "window";
		case OutputKind::Terminal:
			return "terminal";
		case OutputKind::File:
			return "file";
		case OutputKind::Headless:
			return "headless";
	}
	return "?";
}


Result<OutputPlan>
PlanOutput(const Options& options, const OutputSurroundings& surroundings)
{
	OutputPlan plan;
	bool wantsWindow = options.fullscreen || options.windowId || options.root;

	if (options.output || wantsWindow) {
		plan.asked = true;
		std::string name = options.output ? *options.output : "window";
		if (name == "window") {
			if (!surroundings.display) {
				std::string option = options.output ? "--output window"
					: options.fullscreen ? "--fullscreen"
					: options.root ? "--root" : "--window-id";
				return Error{"no display for " + option
					+ " (is DISPLAY set?); try --output terminal"};
			}
			plan.candidates = {OutputKind::Window};
		} else if (name == "terminal") {
			plan.candidates = {OutputKind::Terminal};
		} else if (name == "file") {
			plan.candidates = {FileOrHeadless(options)};
		} else {
			plan.candidates = {OutputKind::Headless};
		}
		return plan;
	}

	// Frames meant for files or for a digest are not shown.
	if (options.recordPath || options.pngDirectory || options.digest) {
		plan.candidates = {FileOrHeadless(options)};
		return plan;
	}
	if (surroundings.display)
		plan.candidates.push_back(OutputKind::Window);
	if (surroundings.terminal)
		plan.candidates.push_back(OutputKind::Terminal);
	plan.candidates.push_back(OutputKind::Headless);
	// A bare run with nowhere to show it would otherwise end without a word.
	bool asksForSomething = options.frames || options.snapshotPath || options.config
		|| options.preview || options.soak;
	if (!surroundings.display && !surroundings.terminal && !asksForSomething) {
		plan.notice = "no display, and standard output is not a terminal: running "
			"headless, with nothing shown; try --record dust.mp4 or --snapshot dust.png";
	}
	return plan;
}
