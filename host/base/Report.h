// Messages to the user, all on standard error so that standard output carries
// only what an option asked for (digests, the settings listing).
#ifndef SAVERHOST_REPORT_H
#define SAVERHOST_REPORT_H

#include <cstdio>
#include <string>

// Exit statuses of saverhost.
constexpr int kExitSuccess = 0;
// A module could not be loaded or started, or a file could not be written.
constexpr int kExitFailure = 1;
// The command line is wrong.
constexpr int kExitUsage = 2;
// Stopped by a signal: a run gives 128 plus its number, as shells report it,
// and saverhost then ends by that very signal.
constexpr int kExitSignalBase = 128;

// The name the messages go by: "saverhost", or "dustglow" when it runs as
// the screen saver under that name.
inline std::string&
ProgramName()
{
	static std::string name = "saverhost";
	return name;
}

inline void
Report(const std::string& message)
{
	std::fprintf(stderr, "%s: %s\n", ProgramName().c_str(), message.c_str());
}

// Reports an error and gives the exit status for it.
inline int
Fail(const std::string& message)
{
	Report(message);
	return kExitFailure;
}

#endif	// SAVERHOST_REPORT_H
