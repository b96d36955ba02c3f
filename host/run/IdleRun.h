// --idle: a screen saver with no daemon. Waits, showing nothing, until the
// session has gone the given time without input, then covers every monitor
// as --screensaver does until input ends it, and waits again; a signal ends
// it all.
#ifndef SAVERHOST_IDLE_RUN_H
#define SAVERHOST_IDLE_RUN_H

#include <string>

#include "base/Options.h"

// Runs the add-on at modulePath so, reports any failure on standard error,
// and gives saverhost's exit status: 128 + the signal's number when one
// ended it, as it ends every run.
int RunWhenIdle(const Options& options, const std::string& modulePath);

#endif	// SAVERHOST_IDLE_RUN_H
