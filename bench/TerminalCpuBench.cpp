// The terminal output as a process of its own: saverhost --output terminal
// on a pseudo-terminal of the benchmark's, at 1920x1080 for 250 ticks (ten
// seconds at 25 a second), once for each way of showing the picture: cells
// in a 200x60 terminal, sixel and kitty's graphics in a terminal of 1280x720
// pixels (160x45 cells). The benchmark reads and counts what it sends, as a
// terminal that keeps up would; its CPU time (from wait4) a tick, and the
// bytes a second.
#include <benchmark/benchmark.h>

#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "HostBench.h"
#include "RatioTable.h"


namespace {

constexpr int kTicks = 250;
constexpr double kRunSeconds = kTicks / 25.0;

struct Terminal {
	const char* kind;
	unsigned short columns;
	unsigned short rows;
	unsigned short width;
	unsigned short height;
};

const Terminal kTerminals[] = {
	{"cells", 200, 60, 0, 0},
	{"sixel", 160, 45, 1280, 720},
	{"kitty", 160, 45, 1280, 720},
};


double
Seconds(const timeval& time)
{
	return time.tv_sec + time.tv_usec * 1e-6;
}


void
TerminalCpuBench(benchmark::State& state, Terminal terminal)
{
	for (auto _ : state) {
		struct winsize size = {terminal.rows, terminal.columns, terminal.width,
			terminal.height};
		int master = -1;
		pid_t child = forkpty(&master, nullptr, nullptr, &size);
		if (child == 0) {
			setenv("TERM", "xterm-256color", 1);
			setenv("COLORTERM", "truecolor", 1);
			execl(SAVERHOST_PATH, SAVERHOST_PATH, "--output", "terminal", "--terminal-pixels",
				terminal.kind, "--size", SizeText(kFullHd).c_str(), "--frames",
				std::to_string(kTicks).c_str(), DUSTGLOW_PATH, static_cast<char*>(nullptr));
			_exit(127);
		}
		if (child < 0) {
			state.SkipWithError("cannot start saverhost on a pseudo-terminal");
			return;
		}

		double bytes = 0;
		int status = 0;
		rusage usage{};
		while (wait4(child, &status, WNOHANG, &usage) == 0) {
			struct pollfd ready = {master, POLLIN, 0};
			char buffer[65536];
			if (poll(&ready, 1, 100) > 0) {
				ssize_t got = read(master, buffer, sizeof(buffer));
				bytes += got > 0 ? static_cast<double>(got) : 0;
			}
		}
		close(master);
		if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
			state.SkipWithError("saverhost failed");
			return;
		}
		double cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
		state.counters["cpu_ms_a_tick"] = 1000 * cpu / kTicks;
		state.counters["kb_a_second"] = bytes / kRunSeconds / 1000;
	}
}


bool
Register()
{
	for (const Terminal& terminal : kTerminals) {
		std::string size = terminal.width > 0
			? SizeText(Size{terminal.width, terminal.height})
			: std::to_string(terminal.columns) + "x" + std::to_string(terminal.rows);
		std::string name = std::string("TerminalCpu/") + terminal.kind + "/" + size;
		benchmark::RegisterBenchmark(name.c_str(), TerminalCpuBench, terminal)
			->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1);
		AddCounterRow(std::string("saverhost --output terminal, ") + terminal.kind + " " + size
			+ ", ms of CPU a tick", "none set", name, "cpu_ms_a_tick");
		AddCounterRow("    and KB a second", "none set", name, "kb_a_second");
	}
	return true;
}

const bool kRegistered = Register();

}	// namespace
