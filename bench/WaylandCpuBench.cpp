// saverhost on a headless sway of the benchmark's own (two monitors of
// 1920x1080, drawing in software), as a process of its own: what a tick
// costs it and the compositor together with its own window filling one
// monitor, and with --screensaver covering both; and what it costs while
// the compositor calls for no frames (its window on a workspace nobody
// sees). sway refuses to run as root: it runs
// as the user nobody, and saverhost, as root, reaches its socket all the
// same.
//
// As in WindowCpuBench.cpp, the CPU times are read from the running
// processes once saverhost has drawn for a while, then every few seconds,
// and the span that cost least is kept.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ExecPointers.h"
#include "HostBench.h"
#include "HostProcess.h"
#include "RatioTable.h"
#include "ScratchFolder.h"


namespace {

using std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr double kTickSeconds = 0.040;
constexpr std::chrono::milliseconds kStartUp{2000};
constexpr int kSpans = 3;
constexpr std::chrono::seconds kSpan{4};
constexpr std::chrono::seconds kHiddenTime{10};
// nobody and nogroup on Debian.
constexpr uid_t kNobody = 65534;


// Runs a program to its end with the environment given; its exit status.
int
RunToEnd(std::vector<std::string> arguments, std::vector<std::string> environment,
	const fs::path& log)
{
	std::vector<char*> argv = ExecPointers(arguments);
	std::vector<char*> envp = ExecPointers(environment);
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
		O_WRONLY | O_CREAT | O_APPEND, 0644);
	posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
	pid_t child = -1;
	int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
	posix_spawn_file_actions_destroy(&actions);
	int status = 0;
	if (spawned != 0 || waitpid(child, &status, 0) != child)
		return -1;
	return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}


// A headless sway with two monitors of 1920x1080, started on first use and
// stopped as the process ends.
class Sway {
public:
	static Sway* Get(std::string& why)
	{
		static std::unique_ptr<Sway> sway;
		static std::string failure;
		if (!sway && failure.empty()) {
			auto started = std::unique_ptr<Sway>(new Sway());
			failure = started->_Start();
			if (failure.empty())
				sway = std::move(started);
		}
		why = failure;
		return sway.get();
	}

	~Sway()
	{
		if (fChild > 0) {
			kill(fChild, SIGTERM);
			waitpid(fChild, nullptr, 0);
		}
	}

	std::vector<std::string> Environment() const
	{
		return {"XDG_RUNTIME_DIR=" + fRuntime.Path().string(), "WAYLAND_DISPLAY=" + fSocket};
	}

	std::optional<double> CpuSeconds() const { return ProcessCpuSeconds(fChild); }

	// A command to sway, as swaymsg gives it.
	bool Command(const std::string& command) const
	{
		std::vector<std::string> environment = {"PATH=/usr/bin:/bin", "SWAYSOCK=" + fIpc};
		return RunToEnd({"swaymsg", command}, environment, fRuntime / "swaymsg.log") == 0;
	}

private:
	Sway() : fRuntime("bench-sway") {}

	std::string _Start()
	{
		if (fRuntime.Path().empty())
			return "no scratch folder for sway";
		{
			std::ofstream config(fRuntime / "sway.config");
			config << "xwayland disable\n"
				"output HEADLESS-1 resolution 1920x1080 position 0 0\n"
				"output HEADLESS-2 resolution 1920x1080 position 1920 0\n";
		}
		if (chown(fRuntime.Path().c_str(), kNobody, kNobody) != 0
			|| chmod(fRuntime.Path().c_str(), 0700) != 0)
			return "cannot give sway's runtime folder to nobody (not root?)";
		std::string runtime = fRuntime.Path().string();
		std::vector<std::string> arguments = {"setpriv", "--reuid=65534", "--regid=65534",
			"--clear-groups", "sway", "--config", runtime + "/sway.config"};
		std::vector<std::string> environment = {"PATH=/usr/bin:/bin", "HOME=" + runtime,
			"XDG_RUNTIME_DIR=" + runtime, "WLR_BACKENDS=headless", "WLR_RENDERER=pixman",
			"WLR_LIBINPUT_NO_DEVICES=1", "WLR_HEADLESS_OUTPUTS=2"};
		std::vector<char*> argv = ExecPointers(arguments);
		std::vector<char*> envp = ExecPointers(environment);
		posix_spawn_file_actions_t actions;
		posix_spawn_file_actions_init(&actions);
		posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
		int spawned = posix_spawnp(&fChild, "setpriv", &actions, nullptr, argv.data(),
			envp.data());
		posix_spawn_file_actions_destroy(&actions);
		if (spawned != 0)
			return "cannot start sway (is it installed?)";
		for (int tries = 0; tries < 200 && (fSocket.empty() || fIpc.empty()); tries++) {
			std::this_thread::sleep_for(std::chrono::milliseconds(50));
			for (const fs::directory_entry& entry : fs::directory_iterator(fRuntime.Path())) {
				std::string name = entry.path().filename().string();
				if (name.rfind("wayland-", 0) == 0 && entry.is_socket())
					fSocket = name;
				if (name.rfind("sway-ipc.", 0) == 0)
					fIpc = entry.path().string();
			}
		}
		return fSocket.empty() || fIpc.empty() ? "sway did not start" : "";
	}

	ScratchFolder fRuntime;
	pid_t fChild = -1;
	std::string fSocket;
	std::string fIpc;
};


// What saverhost and sway used a tick over a span, in seconds.
struct TickCost {
	double host = 0;
	double compositor = 0;
};


class CpuReading {
public:
	CpuReading(const HostProcess& host, const Sway& sway)
		:
		fWall(steady_clock::now()),
		fHost(ProcessCpuSeconds(host.Id())),
		fCompositor(sway.CpuSeconds())
	{
	}

	std::optional<TickCost> Since(const CpuReading& from) const
	{
		if (!fHost || !fCompositor || !from.fHost || !from.fCompositor)
			return std::nullopt;
		double ticks = std::chrono::duration<double>(fWall - from.fWall).count() / kTickSeconds;
		return TickCost{(*fHost - *from.fHost) / ticks,
			(*fCompositor - *from.fCompositor) / ticks};
	}

private:
	steady_clock::time_point fWall;
	std::optional<double> fHost;
	std::optional<double> fCompositor;
};


void
Count(benchmark::State& state, const TickCost& cost)
{
	state.counters["host_cpu_s"] = cost.host;
	state.counters["compositor_cpu_s"] = cost.compositor;
	state.counters["host_percent"] = 100 * cost.host / kTickSeconds;
	state.counters["compositor_percent"] = 100 * cost.compositor / kTickSeconds;
}


// saverhost with the arguments: the least of a few spans once it has drawn
// for a while; or, hidden, one long span after its window's workspace was
// put out of sight.
void
WaylandCpuBench(benchmark::State& state, std::vector<std::string> arguments, bool hidden)
{
	std::string why;
	Sway* sway = Sway::Get(why);
	if (sway == nullptr) {
		state.SkipWithError(why.c_str());
		return;
	}
	ScratchFolder scratch("bench");
	arguments.push_back(DUSTGLOW_PATH);
	for (auto _ : state) {
		sway->Command("workspace 1");
		HostProcess host(scratch.Path(), arguments, sway->Environment());
		std::this_thread::sleep_for(kStartUp);
		if (hidden && !sway->Command("workspace 9")) {
			state.SkipWithError("sway did not change workspaces");
			return;
		}
		std::optional<TickCost> least;
		CpuReading from(host, *sway);
		for (int span = 0; span < (hidden ? 1 : kSpans); span++) {
			std::this_thread::sleep_for(hidden ? kHiddenTime : kSpan);
			CpuReading to(host, *sway);
			std::optional<TickCost> cost = to.Since(from);
			if (!host.Running() || !cost) {
				state.SkipWithError(("saverhost did not run: " + host.Err()).c_str());
				return;
			}
			if (!least || cost->host + cost->compositor < least->host + least->compositor)
				least = cost;
			from = to;
		}
		Count(state, *least);
	}
}


// Two rows: saverhost's share of a core in the run, then sway's.
void
AddShareRows(const std::string& run, const char* label, const char* target)
{
	AddCounterRow(label, target, run, "host_percent");
	AddCounterRow("  sway, % of one core", "none set", run, "compositor_percent");
}


bool
Register()
{
	std::string window = "WaylandCpu/window/1920x1080";
	std::string hidden = "WaylandCpu/hidden/1920x1080";
	benchmark::RegisterBenchmark(window.c_str(), WaylandCpuBench,
		std::vector<std::string>{"--output", "wayland", "--fullscreen"}, false)
		->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1);
	benchmark::RegisterBenchmark(hidden.c_str(), WaylandCpuBench,
		std::vector<std::string>{"--output", "wayland", "--fullscreen"}, true)
		->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1);

	// --screensaver on both monitors, against full screen on one X monitor:
	// saverhost and the compositor or the X server together.
	std::string screens = "ScreensCpu/sway/2x1920x1080";
	benchmark::RegisterBenchmark(screens.c_str(), WaylandCpuBench,
		std::vector<std::string>{"--screensaver"}, false)
		->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1);
	std::string xWindow = "WindowCpu/Xvfb/1920x1080";
	AddFigureRow("--screensaver on sway, 2 x 1920x1080 / --fullscreen on X, 1920x1080",
		"none set", [screens, xWindow](const Measurements& measured) -> std::optional<double> {
			std::optional<double> host = measured.CounterOf(screens, "host_cpu_s");
			std::optional<double> sway = measured.CounterOf(screens, "compositor_cpu_s");
			std::optional<double> single = measured.CounterOf(xWindow, "host_cpu_s");
			std::optional<double> server = measured.CounterOf(xWindow, "server_cpu_s");
			if (!host || !sway || !single || !server)
				return std::nullopt;
			return (*host + *sway) / (*single + *server);
		});
	AddShareRows(screens, "  saverhost, % of one core", "none set");

	std::string step = "FrameStep/1920x1080";
	std::string copy = "Memcpy/1920x1080";
	AddFigureRow("saverhost + sway a tick / (frame step + memcpy), Wayland 1920x1080",
		"none set", [window, step, copy](const Measurements& measured) -> std::optional<double> {
			std::optional<double> host = measured.CounterOf(window, "host_cpu_s");
			std::optional<double> sway = measured.CounterOf(window, "compositor_cpu_s");
			std::optional<double> stepSeconds = measured.SecondsOf(step);
			std::optional<double> copySeconds = measured.SecondsOf(copy);
			if (!host || !sway || !stepSeconds || !copySeconds)
				return std::nullopt;
			return (*host + *sway) / (*stepSeconds + *copySeconds);
		});
	AddShareRows(window, "  saverhost, % of one core", "none set");
	// sway's own share goes on while nobody sees the window: it draws its
	// monitors on its own.
	AddShareRows(hidden, "hidden Wayland window, saverhost, % of one core", "< 0.1");
	return true;
}

const bool kRegistered = Register();

}	// namespace
