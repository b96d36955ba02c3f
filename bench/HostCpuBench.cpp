// The host's share of the CPU: saverhost as a process of its own, headless at
// 1920x1080 and paced (--paced) at the saver's 25 ticks a second for 20
// seconds, its user and system time (from wait4) over the wall time from
// start to exit. Start-up and the end are in it, as in any whole run.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "ExecPointers.h"
#include "HostBench.h"
#include "RatioTable.h"

extern char** environ;


namespace {

// 500 ticks of 40 ms: the first is due at once, so the run takes 19.96 s.
constexpr int kTicks = 500;


double
Seconds(const timeval& time)
{
	return time.tv_sec + time.tv_usec * 1e-6;
}


void
HostCpuBench(benchmark::State& state)
{
	std::vector<std::string> arguments = {SAVERHOST_PATH, "--output", "headless", "--paced",
		"--size", SizeText(kFullHd), "--frames", std::to_string(kTicks), DUSTGLOW_PATH};
	std::vector<char*> argv = ExecPointers(arguments);

	for (auto _ : state) {
		posix_spawn_file_actions_t actions;
		posix_spawn_file_actions_init(&actions);
		posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
		posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
		posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

		auto start = std::chrono::steady_clock::now();
		pid_t child = -1;
		int error = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
		posix_spawn_file_actions_destroy(&actions);
		if (error != 0) {
			state.SkipWithError((std::string("cannot start saverhost: ")
				+ std::strerror(error)).c_str());
			return;
		}
		int status = 0;
		rusage usage{};
		while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
		}
		std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
		if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
			state.SkipWithError("saverhost failed");
			return;
		}

		double user = Seconds(usage.ru_utime);
		double system = Seconds(usage.ru_stime);
		state.counters["user_s"] = user;
		state.counters["system_s"] = system;
		state.counters["wall_s"] = wall.count();
		state.counters["cpu_percent"] = 100 * (user + system) / wall.count();
	}
}


bool
Register()
{
	std::string name = "HostCpu/headless-paced/" + SizeText(kFullHd);
	benchmark::RegisterBenchmark(name.c_str(), HostCpuBench)
		->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1);
	AddCounterRow("host CPU, % of one core, " + SizeText(kFullHd) + " at 25/s", "<= 3", name,
		"cpu_percent");
	return true;
}

const bool kRegistered = Register();

}	// namespace
