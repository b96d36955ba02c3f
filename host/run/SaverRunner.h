// Drives a saver through the host's calling order: instantiate, settings
// (with --config), StartSaver, one Draw per tick, StopSaver, delete; with
// --screensaver, one saver for each monitor, on one grid of ticks.
#ifndef SAVERHOST_SAVER_RUNNER_H
#define SAVERHOST_SAVER_RUNNER_H

#include <memory>
#include <string>

#include "outputs/Output.h"
#include "outputs/Screens.h"
#include "base/MonotonicClock.h"
#include "base/Options.h"

// Runs the add-on at modulePath as the options say, reports any failure on
// standard error, and gives saverhost's exit status: for a run that a signal
// stopped, kExitSignalBase plus the signal, by which saverhost then ends.
int RunSaver(const Options& options, const std::string& modulePath);
// The same, paced by clock and showing the frames in output (which the run
// opens) instead of the steady clock and the output the options choose: for
// tests.
int RunSaver(const Options& options, const std::string& modulePath,
	const MonotonicClock& clock, std::unique_ptr<Output> output);
// The same with --screensaver's monitors from screens (which the run opens):
// for tests.
int RunSaver(const Options& options, const std::string& modulePath,
	const MonotonicClock& clock, std::unique_ptr<Screens> screens);

#endif	// SAVERHOST_SAVER_RUNNER_H
