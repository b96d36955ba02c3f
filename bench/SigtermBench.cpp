// How soon saverhost ends after a SIGTERM, as a screen-saver daemon or a
// locker ends it: saverhost --root on the benchmarks' Xvfb at
// 1920x1080, sent SIGTERM once it draws, at a different point of its 40 ms
// tick each time; the wall time from kill() until its end is reaped.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ExecPointers.h"
#include "HostBench.h"
#include "RatioTable.h"


namespace {

constexpr int kRuns = 20;


void
SigtermBench(benchmark::State& state)
{
	std::string why;
	XServer* server = XServer::Get(kFullHd, why);
	if (server == nullptr) {
		state.SkipWithError(why.c_str());
		return;
	}
	std::vector<std::string> arguments = {SAVERHOST_PATH, "--root", DUSTGLOW_PATH};
	std::vector<std::string> environment = {"DISPLAY=" + server->Name(), "PATH=/usr/bin:/bin"};
	std::vector<char*> argv = ExecPointers(arguments);
	std::vector<char*> envp = ExecPointers(environment);

	std::vector<double> latencies;
	for (auto _ : state) {
		for (int run = 0; run < kRuns; run++) {
			posix_spawn_file_actions_t actions;
			posix_spawn_file_actions_init(&actions);
			posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
			posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
			posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
			pid_t child = -1;
			int error = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(),
				envp.data());
			posix_spawn_file_actions_destroy(&actions);
			if (error != 0) {
				state.SkipWithError((std::string("cannot start saverhost: ")
					+ std::strerror(error)).c_str());
				return;
			}
			// Drawing by then; each run a little further into the tick.
			std::this_thread::sleep_for(std::chrono::milliseconds(800 + 2 * run));
			auto sent = std::chrono::steady_clock::now();
			kill(child, SIGTERM);
			int status = 0;
			while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
			}
			std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now()
				- sent;
			if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGTERM) {
				state.SkipWithError("saverhost did not end as SIGTERM asks (killed by it)");
				return;
			}
			latencies.push_back(took.count());
		}
	}
	std::sort(latencies.begin(), latencies.end());
	double sum = 0;
	for (double latency : latencies)
		sum += latency;
	state.counters["mean_ms"] = sum / latencies.size();
	state.counters["median_ms"] = latencies[latencies.size() / 2];
	state.counters["max_ms"] = latencies.back();
}


bool
Register()
{
	std::string name = "Sigterm/root/" + SizeText(kFullHd);
	benchmark::RegisterBenchmark(name.c_str(), SigtermBench)
		->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1);
	AddCounterRow("SIGTERM to exit, ms, --root " + SizeText(kFullHd) + ", worst of "
		+ std::to_string(kRuns), "<= 100", name, "max_ms");
	return true;
}

const bool kRegistered = Register();

}	// namespace
