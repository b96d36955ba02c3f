#include "HostProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "ExecPointers.h"

extern char** environ;

namespace fs = std::filesystem;


std::vector<std::string>
HostRun::SaverCalls() const
{
	std::vector<std::string> calls;
	std::istringstream lines(err);
	for (std::string line; std::getline(lines, line);) {
		if (line.rfind("saver: ", 0) == 0)
			calls.push_back(line.substr(7));
	}
	return calls;
}


std::string
ReadWholeFile(const fs::path& path)
{
	std::ifstream file(path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(file), {});
}


HostProcess::HostProcess(const fs::path& scratch, const std::vector<std::string>& arguments,
	const std::vector<std::string>& environment, const fs::path& program)
	:
	fOut(scratch / "host-stdout.txt"),
	fErr(scratch / "host-stderr.txt")
{
	std::vector<std::string> argumentStrings = {program.empty() ? std::string(SAVERHOST_PATH)
		: program.string()};
	argumentStrings.insert(argumentStrings.end(), arguments.begin(), arguments.end());
	std::vector<char*> argv = ExecPointers(argumentStrings);

	std::vector<std::string> unset = {"DISPLAY", "WAYLAND_DISPLAY", "XSCREENSAVER_WINDOW",
		"SDL_VIDEODRIVER"};
	std::vector<std::string> set;
	for (const std::string& change : environment) {
		size_t equals = change.find('=');
		unset.push_back(change.substr(0, equals));
		if (equals != std::string::npos)
			set.push_back(change);
	}
	std::vector<char*> envp;
	for (char** variable = environ; *variable != nullptr; variable++) {
		std::string name(*variable, std::strcspn(*variable, "="));
		bool dropped = false;
		for (const std::string& gone : unset)
			dropped = dropped || gone == name;
		if (!dropped)
			envp.push_back(*variable);
	}
	for (std::string& variable : set)
		envp.push_back(variable.data());
	envp.push_back(nullptr);

	fChild = fork();
	if (fChild == 0) {
		int out = open(fOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
		int err = open(fErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
		int in = open("/dev/null", O_RDONLY);
		if (out < 0 || err < 0 || in < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0
			|| dup2(in, 0) < 0) {
			_exit(126);
		}
		execve(argv[0], argv.data(), envp.data());
		_exit(127);
	}
}


HostProcess::~HostProcess()
{
	if (fChild > 0) {
		kill(fChild, SIGKILL);
		waitpid(fChild, nullptr, 0);
	}
}


bool
HostProcess::Running() const
{
	siginfo_t ended{};
	return fChild > 0 && waitid(P_PID, static_cast<id_t>(fChild), &ended,
		WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == 0;
}


std::string
HostProcess::Err() const
{
	return ReadWholeFile(fErr);
}


bool
HostProcess::WaitForError(const std::string& text, std::chrono::milliseconds timeout)
{
	auto deadline = std::chrono::steady_clock::now() + timeout;
	while (std::chrono::steady_clock::now() < deadline) {
		if (Err().find(text) != std::string::npos)
			return true;
		if (!Running())
			return false;
		std::this_thread::sleep_for(std::chrono::milliseconds(10));
	}
	return false;
}


HostRun
HostProcess::Stop(int signal)
{
	if (fChild > 0)
		kill(fChild, signal);
	return Wait();
}


HostRun
HostProcess::Wait()
{
	auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
	while (Running() && std::chrono::steady_clock::now() < deadline)
		std::this_thread::sleep_for(std::chrono::milliseconds(5));
	bool hung = Running();
	if (hung)
		kill(fChild, SIGKILL);

	HostRun run;
	int status = 0;
	if (fChild > 0 && waitpid(fChild, &status, 0) == fChild && !hung) {
		run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
		run.killedBy = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
	}
	fChild = -1;
	run.out = ReadWholeFile(fOut);
	run.err = ReadWholeFile(fErr);
	fs::remove(fOut);
	fs::remove(fErr);
	return run;
}


HostRun
RunHost(const fs::path& scratch, const std::vector<std::string>& arguments,
	const std::vector<std::string>& environment, const fs::path& program)
{
	return HostProcess(scratch, arguments, environment, program).Wait();
}
