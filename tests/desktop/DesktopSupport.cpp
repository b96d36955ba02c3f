#include "DesktopSupport.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>

#include "PngPixels.h"
#include "ExecPointers.h"

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

namespace {

constexpr const char* kUserName = "dustglow-test";
constexpr const char* kSystemPath = "/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin";


// A program named without a folder, as a shell would find it.
std::string
Resolve(const std::string& program)
{
	if (program.find('/') != std::string::npos)
		return program;
	std::string path = kSystemPath;
	for (size_t start = 0; start <= path.size();) {
		size_t end = path.find(':', start);
		if (end == std::string::npos)
			end = path.size();
		fs::path candidate = fs::path(path.substr(start, end - start)) / program;
		if (access(candidate.c_str(), X_OK) == 0)
			return candidate.string();
		start = end + 1;
	}
	return program;
}


// Removes the user at the end of the test program, if it was made here.
struct MadeUser {
	~MadeUser()
	{
		if (made) {
			std::string log;
			Capture({"userdel", kUserName}, log);
		}
	}
	bool made = false;
};
MadeUser sMadeUser;

}	// namespace


bool
InContinuousIntegration()
{
	const char* ci = std::getenv("CI");
	return ci != nullptr && *ci != '\0' && std::strcmp(ci, "false") != 0;
}


std::string
MissingTools(const std::vector<std::string>& tools)
{
	std::string missing;
	for (const std::string& tool : tools) {
		if (access(Resolve(tool).c_str(), X_OK) != 0)
			missing += (missing.empty() ? "" : ", ") + tool;
	}
	return missing.empty() ? "" : "not installed: " + missing
		+ " (scripts/install-deps test installs them)";
}


const InstalledTree&
Installed(std::string& error)
{
	static std::unique_ptr<ScratchFolder> folder;
	static InstalledTree tree;
	static std::string why;
	if (!folder) {
		folder = std::make_unique<ScratchFolder>("installed");
		fs::path first = *folder / "first";
		fs::path log = *folder / "install.log";
		int status = RunToEnd({CMAKE_COMMAND, "--install", DUSTGLOW_BUILD_DIR, "--prefix",
			first.string()}, {std::string("PATH=") + kSystemPath}, log, std::nullopt,
			std::chrono::seconds(60));
		std::error_code moved;
		if (status == 0)
			fs::rename(first, *folder / "moved", moved);
		if (status != 0 || moved) {
			why = "cmake --install failed (" + std::to_string(status) + "): "
				+ ReadFile(log) + moved.message();
		} else {
			tree.prefix = *folder / "moved";
			tree.saverhost = tree.prefix / "bin" / "saverhost";
			tree.dustglow = tree.prefix / DUSTGLOW_HACKDIR / "dustglow";
		}
	}
	error = why;
	return tree;
}


std::optional<TestUser>
UnprivilegedUser(std::string& error)
{
	if (geteuid() != 0) {
		error = "screen-saver daemons and compositors refuse to run as root, and only root "
			"can run them as another user: run as root";
		return std::nullopt;
	}
	if (getpwnam(kUserName) == nullptr) {
		std::string log;
		if (Capture({"useradd", "--system", "--user-group", "--no-create-home", "--home-dir",
				"/nonexistent", "--shell", "/usr/sbin/nologin", kUserName}, log) != 0) {
			error = "useradd " + std::string(kUserName) + " failed: " + log;
			return std::nullopt;
		}
		sMadeUser.made = true;
	}
	const passwd* entry = getpwnam(kUserName);
	if (entry == nullptr) {
		error = "no user " + std::string(kUserName);
		return std::nullopt;
	}
	return TestUser{entry->pw_uid, entry->pw_gid, kUserName};
}


void
GiveTo(const TestUser& user, const fs::path& path, mode_t mode)
{
	if (chown(path.c_str(), user.uid, user.gid) != 0 || chmod(path.c_str(), mode) != 0)
		std::perror(path.c_str());
}


std::vector<std::string>
SessionEnvironment(const TestUser& user, const fs::path& home,
	const std::vector<std::string>& more)
{
	std::vector<std::string> environment = {"PATH=/usr/bin:/bin", "HOME=" + home.string(),
		"USER=" + user.name, "LOGNAME=" + user.name, "LANG=C.UTF-8"};
	environment.insert(environment.end(), more.begin(), more.end());
	return environment;
}


GroupProcess::GroupProcess(const std::vector<std::string>& arguments,
	const std::vector<std::string>& environment, const fs::path& log,
	const std::optional<TestUser>& user)
	:
	fLog(log)
{
	std::vector<std::string> argumentStrings = arguments;
	argumentStrings[0] = Resolve(arguments[0]);
	std::vector<std::string> environmentStrings = environment;
	std::vector<char*> argv = ExecPointers(argumentStrings);
	std::vector<char*> envp = ExecPointers(environmentStrings);

	fChild = fork();
	if (fChild == 0) {
		setpgid(0, 0);
		int out = open(fLog.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
		int in = open("/dev/null", O_RDONLY);
		if (out < 0 || in < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0)
			_exit(126);
		if (user && (setgroups(0, nullptr) != 0 || setgid(user->gid) != 0
				|| setuid(user->uid) != 0)) {
			_exit(126);
		}
		if (chdir("/") != 0)
			_exit(126);
		execve(argv[0], argv.data(), envp.data());
		_exit(127);
	}
	// Set from both sides, so that a signal to the group right after the
	// start reaches it.
	if (fChild > 0)
		setpgid(fChild, fChild);
}


GroupProcess::~GroupProcess()
{
	if (fChild <= 0)
		return;
	kill(-fChild, SIGKILL);
	if (fStatus < 0)
		waitpid(fChild, nullptr, 0);
}


bool
GroupProcess::Running()
{
	if (fChild <= 0 || fStatus >= 0)
		return false;
	int status;
	if (waitpid(fChild, &status, WNOHANG) != fChild)
		return true;
	fStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
	fKilledBy = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
	return false;
}


void
GroupProcess::SignalGroup(int signal)
{
	if (fChild > 0)
		kill(-fChild, signal);
}


int
GroupProcess::Wait(milliseconds timeout)
{
	// Looked at every millisecond: the time to the end is measured by it.
	steady_clock::time_point deadline = steady_clock::now() + timeout;
	while (Running()) {
		if (steady_clock::now() >= deadline) {
			kill(-fChild, SIGKILL);
			waitpid(fChild, nullptr, 0);
			fStatus = 0;
			return -1;
		}
		std::this_thread::sleep_for(milliseconds(1));
	}
	return fStatus;
}


std::string
GroupProcess::Log() const
{
	return ReadFile(fLog);
}


int
RunToEnd(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
	const fs::path& log, const std::optional<TestUser>& user, milliseconds timeout)
{
	GroupProcess process(arguments, environment, log, user);
	return process.Wait(timeout);
}


std::vector<pid_t>
ProcessesRunning(const fs::path& executable)
{
	std::error_code error;
	fs::path wanted = fs::canonical(executable, error);
	std::vector<pid_t> found;
	for (const fs::directory_entry& entry : fs::directory_iterator("/proc", error)) {
		std::string name = entry.path().filename().string();
		if (name.find_first_not_of("0123456789") != std::string::npos)
			continue;
		std::error_code gone;
		fs::path running = fs::read_symlink(entry.path() / "exe", gone);
		if (!gone && running == wanted)
			found.push_back(static_cast<pid_t>(std::stol(name)));
	}
	return found;
}


bool
WaitUntil(const std::function<bool()>& condition, milliseconds timeout)
{
	steady_clock::time_point deadline = steady_clock::now() + timeout;
	while (!condition()) {
		if (steady_clock::now() >= deadline)
			return false;
		std::this_thread::sleep_for(milliseconds(20));
	}
	return true;
}


int
Picture::GlowPixels(int top, int bottom) const
{
	int count = 0;
	for (int y = top; y < (bottom < 0 ? height : bottom); y++) {
		for (int x = 0; x < width; x++) {
			const uint8_t* pixel = At(x, y);
			if (pixel[2] >= 96 && pixel[1] >= 96 && pixel[0] <= pixel[2])
				count++;
		}
	}
	return count;
}


int
Picture::FilledRows(int top, int bottom) const
{
	int rows = 0;
	for (int y = top; y < bottom && y < height; y++) {
		int lit = 0;
		for (int x = 0; x < width; x++) {
			const uint8_t* pixel = At(x, y);
			if (pixel[0] != 0 || pixel[1] != 0 || pixel[2] != 0)
				lit++;
		}
		if (lit * 10 >= width * 9)
			rows++;
	}
	return rows;
}


std::optional<Picture>
ReadPng(const fs::path& path)
{
	std::optional<WindowPixels> pixels = ReadPngPixels(path);
	if (!pixels)
		return std::nullopt;
	return Picture{pixels->width, pixels->height, std::move(pixels->bits)};
}


std::string
ReadFile(const fs::path& path)
{
	std::ifstream file(path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(file), {});
}


int
Capture(const std::vector<std::string>& arguments, std::string& output)
{
	int fds[2];
	if (pipe(fds) != 0)
		return -1;
	std::vector<std::string> argumentStrings = arguments;
	argumentStrings[0] = Resolve(arguments[0]);
	std::vector<char*> argv = ExecPointers(argumentStrings);
	pid_t child = fork();
	if (child == 0) {
		close(fds[0]);
		int in = open("/dev/null", O_RDONLY);
		if (in < 0 || dup2(in, 0) < 0 || dup2(fds[1], 1) < 0 || dup2(fds[1], 2) < 0)
			_exit(126);
		execv(argv[0], argv.data());
		_exit(127);
	}
	close(fds[1]);
	output.clear();
	char buffer[4096];
	ssize_t got;
	while ((got = read(fds[0], buffer, sizeof(buffer))) > 0)
		output.append(buffer, static_cast<size_t>(got));
	close(fds[0]);
	int status = 0;
	if (child < 0 || waitpid(child, &status, 0) != child)
		return -1;
	return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
