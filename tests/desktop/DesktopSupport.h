// What the desktop tests share: the installed tree they run, the
// unprivileged user that screen-saver daemons and compositors insist on,
// programs started as that user in process groups of their own, and the
// pictures they read back.
#ifndef TESTS_DESKTOP_SUPPORT_H
#define TESTS_DESKTOP_SUPPORT_H

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ScratchFolder.h"

// Why a test cannot run here. Outside CI that is a skip; in CI (CI=true) a
// failure, since CI installs everything these tests need and runs as root.
// Empty when nothing is missing.
std::string MissingTools(const std::vector<std::string>& tools);
bool InContinuousIntegration();

#define DESKTOP_REQUIRE(why)						\
	do {										\
		std::string missing_ = (why);			\
		if (!missing_.empty()) {				\
			if (InContinuousIntegration())		\
				FAIL() << missing_;				\
			GTEST_SKIP() << missing_;			\
		}										\
	} while (false)

// The build's install, moved after installing: what the tests run.
struct InstalledTree {
	std::filesystem::path prefix;
	std::filesystem::path saverhost;
	std::filesystem::path dustglow;
};

// Installs the build into a folder and moves it elsewhere, once for the
// whole test program; the error says why that failed.
const InstalledTree& Installed(std::string& error);

// An unprivileged user for the daemons, made when missing (and removed at
// the end of the test program when made here). Needs root.
struct TestUser {
	uid_t uid;
	gid_t gid;
	std::string name;
};
std::optional<TestUser> UnprivilegedUser(std::string& error);

// Hands a folder to the user, with the mode given.
void GiveTo(const TestUser& user, const std::filesystem::path& path, mode_t mode);

// A program in a process group of its own, as the user when one is given,
// with exactly the environment given, its output and errors in log. Killed
// with its whole group if still running when it goes.
class GroupProcess {
public:
	GroupProcess(const std::vector<std::string>& arguments,
		const std::vector<std::string>& environment, const std::filesystem::path& log,
		const std::optional<TestUser>& user);
	~GroupProcess();

	GroupProcess(const GroupProcess&) = delete;
	GroupProcess& operator=(const GroupProcess&) = delete;

	pid_t Id() const { return fChild; }
	bool Running();
	// Sends the signal to the whole group.
	void SignalGroup(int signal);
	// The exit status as a shell gives it, or -1 when it did not end in time
	// (it is then killed).
	int Wait(std::chrono::milliseconds timeout);
	// The signal that killed it, once it ended of itself; 0 when it exited.
	int KilledBy() const { return fKilledBy; }
	std::string Log() const;

private:
	std::filesystem::path fLog;
	pid_t fChild = -1;
	int fStatus = -1;
	int fKilledBy = 0;
};

// Runs a program to its end as the user (or as this process's user) and
// gives its exit status; its output goes to log.
int RunToEnd(const std::vector<std::string>& arguments,
	const std::vector<std::string>& environment, const std::filesystem::path& log,
	const std::optional<TestUser>& user, std::chrono::milliseconds timeout);

// The environment a user's session would give a program: PATH, HOME, USER,
// LOGNAME, LANG, and the variables given.
std::vector<std::string> SessionEnvironment(const TestUser& user,
	const std::filesystem::path& home, const std::vector<std::string>& more);

// The processes now running the executable (links resolved).
std::vector<pid_t> ProcessesRunning(const std::filesystem::path& executable);

// Waits until the condition holds or the time is up; whether it held.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// A picture read back: blue, green, red, unused per pixel.
struct Picture {
	int width = 0;
	int height = 0;
	std::vector<uint8_t> bits;

	const uint8_t* At(int x, int y) const
	{
		return &bits[(static_cast<size_t>(y) * width + x) * 4];
	}
	// Pixels of the motes' glow: bright, red and green together, blue no
	// stronger than red (yellow towards white).
	int GlowPixels(int top = 0, int bottom = -1) const;
	// Rows between top and bottom that are not black across nine tenths of
	// their width: a title bar or a frame, never the saver's sparse motes.
	int FilledRows(int top, int bottom) const;
};

std::optional<Picture> ReadPng(const std::filesystem::path& path);

std::string ReadFile(const std::filesystem::path& path);

// The whole output of a command run as this process's user, and its status.
int Capture(const std::vector<std::string>& arguments, std::string& output);

#endif	// TESTS_DESKTOP_SUPPORT_H
