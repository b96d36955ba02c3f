// Which output a run uses: the one --output names, or the best of those in
// the table of outputs that can work here, tried in order.
#ifndef SAVERHOST_OUTPUT_CHOICE_H
#define SAVERHOST_OUTPUT_CHOICE_H

#include <string>
#include <vector>

#include "base/Options.h"
#include "base/Result.h"
#include "outputs/OutputTable.h"

OutputSurroundings LookAround();

struct OutputPlan {
	// The outputs to try, best first; when one fails to open the next is
	// tried, and the last one's failure ends the run.
	std::vector<OutputKind> candidates;
	// The user asked for this output (--output, or an option only the window
	// has): failing to open it is an error, not a reason to try another.
	bool asked = false;
	// Said on standard error when the run starts: why nothing will be seen.
	std::string notice;
};

// The outputs for the options, or why the one asked for cannot work here.
Result<OutputPlan> PlanOutput(const Options& options, const OutputSurroundings& surroundings);

// --screensaver and --idle: the outputs that can cover every monitor here
// (those with makeScreens), or that can tell how long the session has been
// idle (makeIdleWatch), best first: the one --output names, or each that
// fits. None is an error that says what is missing.
Result<std::vector<OutputKind>> PlanScreens(const Options& options,
	const OutputSurroundings& surroundings);
Result<std::vector<OutputKind>> PlanIdleWatch(const Options& options,
	const OutputSurroundings& surroundings);

#endif	// SAVERHOST_OUTPUT_CHOICE_H
