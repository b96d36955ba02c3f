// saverhost as a child process: started with arguments and changes to the
// environment, its standard output and error captured in files, and waited
// for, or signalled first.
#ifndef TESTS_HOST_PROCESS_H
#define TESTS_HOST_PROCESS_H

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct HostRun {
	// The exit status as a shell gives it (128 + the signal when killed).
	int status = -1;
	// The signal that killed it, or 0 when it exited.
	int killedBy = 0;
	std::string out;
	std::string err;

	// The lines of standard error that the recording saver wrote, without
	// their "saver: " prefix.
	std::vector<std::string> SaverCalls() const;
};

class HostProcess {
public:
	// environment: NAME=value to set, or NAME alone to unset. DISPLAY,
	// WAYLAND_DISPLAY, XSCREENSAVER_WINDOW and SDL_VIDEODRIVER are unset
	// unless set here, so that no run opens a window by chance. program: the
	// executable, when not the saverhost of this build (an installed one, or
	// a link to it).
	HostProcess(const std::filesystem::path& scratch, const std::vector<std::string>& arguments,
		const std::vector<std::string>& environment = {},
		const std::filesystem::path& program = {});
	~HostProcess();

	pid_t Id() const { return fChild; }
	// Not ended yet (looked at without reaping it, so that Wait() gets its
	// status).
	bool Running() const;
	// Standard error so far.
	std::string Err() const;
	// Waits up to timeout for text to show on standard error; false if it
	// did not, or the process ended first.
	bool WaitForError(const std::string& text, std::chrono::milliseconds timeout);
	// Sends signal and waits for the end.
	HostRun Stop(int signal);
	// Waits for the end; a run still going after a minute is killed, and
	// its status is -1.
	HostRun Wait();

private:
	std::filesystem::path fOut;
	std::filesystem::path fErr;
	pid_t fChild = -1;
};

// Runs saverhost to its end.
HostRun RunHost(const std::filesystem::path& scratch, const std::vector<std::string>& arguments,
	const std::vector<std::string>& environment = {},
	const std::filesystem::path& program = {});

std::string ReadWholeFile(const std::filesystem::path& path);

#endif	// TESTS_HOST_PROCESS_H
