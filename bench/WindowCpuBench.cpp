// saverhost in a window on an Xvfb of the benchmark's own, as a process of
// its own: what a tick costs it and the X server together, full screen at
// 1920x1080 and at 3840x2160, against the floor of a tick (the frame step
// and one memcpy of the frame: the saver's work, and one look at each of its
// pixels); and what saverhost costs while its window is minimized.
//
// The CPU times are read from the running processes (clock_getcpuclockid)
// once saverhost has started and drawn for a while, and again some seconds
// later, so that start-up and the end are not in them.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <X11/Xlib.h>

#include "HostBench.h"
#include "RatioTable.h"

extern char** environ;


namespace {

using std::chrono::steady_clock;

constexpr Size kUltraHd{3840, 2160};
// The saver's period.
constexpr double kTickSeconds = 0.040;
// From the start until the CPU times are first read: loading, the first
// frames, and the window settled.
constexpr std::chrono::milliseconds kStartUp{2000};
constexpr std::chrono::seconds kFullScreenTime{6};
constexpr std::chrono::seconds kMinimizedTime{10};


// saverhost with the arguments on the display, its output thrown away;
// stopped with SIGTERM and waited for when it goes.
class HostProcess {
public:
	HostProcess(const std::string& display, std::vector<std::string> arguments)
	{
		arguments.insert(arguments.begin(), SAVERHOST_PATH);
		arguments.push_back(DUSTGLOW_PATH);
		std::vector<char*> argv;
		for (std::string& argument : arguments)
			argv.push_back(argument.data());
		argv.push_back(nullptr);

		std::string displayVariable = "DISPLAY=" + display;
		std::vector<char*> envp;
		for (char** variable = environ; *variable != nullptr; variable++) {
			std::string_view name(*variable, std::strcspn(*variable, "="));
			if (name != "DISPLAY" && name != "WAYLAND_DISPLAY" && name != "SDL_VIDEODRIVER"
				&& name != "XSCREENSAVER_WINDOW")
				envp.push_back(*variable);
		}
		envp.push_back(displayVariable.data());
		envp.push_back(nullptr);

		posix_spawn_file_actions_t actions;
		posix_spawn_file_actions_init(&actions);
		posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
		posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
		posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
		if (posix_spawn(&fPid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
			fPid = -1;
		posix_spawn_file_actions_destroy(&actions);
	}

	~HostProcess() { Stop(); }

	HostProcess(const HostProcess&) = delete;
	HostProcess& operator=(const HostProcess&) = delete;

	pid_t Pid() const { return fPid; }

	// Still running, as far as waitpid() knows.
	bool Running()
	{
		if (fPid <= 0)
			return false;
		int status;
		if (waitpid(fPid, &status, WNOHANG) == 0)
			return true;
		fPid = -1;
		return false;
	}

	void Stop()
	{
		if (fPid <= 0)
			return;
		kill(fPid, SIGTERM);
		while (waitpid(fPid, nullptr, 0) < 0 && errno == EINTR) {
		}
		fPid = -1;
	}

private:
	pid_t fPid = -1;
};


// What saverhost and the X server used between two readings.
struct CpuSpan {
	steady_clock::time_point wall;
	std::optional<double> host;
	std::optional<double> server;

	static CpuSpan Now(const HostProcess& host, const XServer& server)
	{
		return CpuSpan{steady_clock::now(), ProcessCpuSeconds(host.Pid()),
			server.CpuSeconds()};
	}
};


// Sets the counters of a span: per tick, and as a share of one core.
bool
CountSpan(benchmark::State& state, const CpuSpan& from, const CpuSpan& to)
{
	if (!from.host || !to.host || !from.server || !to.server)
		return false;
	double wall = std::chrono::duration<double>(to.wall - from.wall).count();
	double ticks = wall / kTickSeconds;
	double host = *to.host - *from.host;
	double server = *to.server - *from.server;
	state.counters["host_cpu_s"] = host / ticks;
	state.counters["server_cpu_s"] = server / ticks;
	state.counters["host_percent"] = 100 * host / wall;
	state.counters["server_percent"] = 100 * server / wall;
	return true;
}


void
FullScreenBench(benchmark::State& state, Size screen)
{
	std::string why;
	XServer* server = XServer::Get(screen, why);
	if (server == nullptr) {
		state.SkipWithError(why.c_str());
		return;
	}
	for (auto _ : state) {
		HostProcess host(server->Name(), {"--output", "window", "--fullscreen"});
		std::this_thread::sleep_for(kStartUp);
		CpuSpan from = CpuSpan::Now(host, *server);
		std::this_thread::sleep_for(kFullScreenTime);
		CpuSpan to = CpuSpan::Now(host, *server);
		if (!host.Running() || !CountSpan(state, from, to)) {
			state.SkipWithError("saverhost did not run in the window");
			return;
		}
	}
}


// The top-level window with the title, if there is one.
std::optional<Window>
FindWindow(Display* display, const char* title)
{
	Window root;
	Window parent;
	Window* children = nullptr;
	unsigned int count = 0;
	if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
		return std::nullopt;
	std::optional<Window> found;
	for (unsigned int i = 0; i < count && !found; i++) {
		char* name = nullptr;
		if (XFetchName(display, children[i], &name) && name != nullptr
			&& std::strcmp(name, title) == 0)
			found = children[i];
		if (name != nullptr)
			XFree(name);
	}
	if (children != nullptr)
		XFree(children);
	return found;
}


// The window minimized: unmapped, as a window manager does it (the Xvfb has
// none), a second after it appeared.
void
MinimizedBench(benchmark::State& state)
{
	std::string why;
	XServer* server = XServer::Get(kFullHd, why);
	if (server == nullptr) {
		state.SkipWithError(why.c_str());
		return;
	}
	for (auto _ : state) {
		HostProcess host(server->Name(), {"--output", "window", "--size", "640x480"});
		std::this_thread::sleep_for(kStartUp);
		Display* display = XOpenDisplay(server->Name().c_str());
		std::optional<Window> window = display != nullptr ? FindWindow(display, "Dustglow")
			: std::nullopt;
		if (window) {
			XUnmapWindow(display, *window);
			XSync(display, False);
		}
		if (display != nullptr)
			XCloseDisplay(display);
		if (!window) {
			state.SkipWithError("saverhost's window did not appear");
			return;
		}
		std::this_thread::sleep_for(std::chrono::milliseconds(500));
		CpuSpan from = CpuSpan::Now(host, *server);
		std::this_thread::sleep_for(kMinimizedTime);
		CpuSpan to = CpuSpan::Now(host, *server);
		if (!host.Running() || !CountSpan(state, from, to)) {
			state.SkipWithError("saverhost did not run in the window");
			return;
		}
	}
}


bool
Register()
{
	for (Size screen : {kFullHd, kUltraHd}) {
		std::string size = SizeText(screen);
		std::string name = "WindowCpu/Xvfb/" + size;
		benchmark::RegisterBenchmark(name.c_str(), FullScreenBench, screen)
			->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

		// saverhost and the X server a tick, against the frame step and a
		// memcpy of the frame.
		std::string step = "FrameStep/" + size;
		std::string copy = "Memcpy/" + size;
		AddFigureRow("saverhost + X server a tick / (frame step + memcpy), " + size, "<= 1.25",
			[name, step, copy](const Measurements& measured) -> std::optional<double> {
				std::optional<double> host = measured.CounterOf(name, "host_cpu_s");
				std::optional<double> server = measured.CounterOf(name, "server_cpu_s");
				std::optional<double> stepSeconds = measured.SecondsOf(step);
				std::optional<double> copySeconds = measured.SecondsOf(copy);
				if (!host || !server || !stepSeconds || !copySeconds)
					return std::nullopt;
				return (*host + *server) / (*stepSeconds + *copySeconds);
			});
		AddFigureRow("  saverhost, % of one core", "none set",
			[name](const Measurements& measured) {
				return measured.CounterOf(name, "host_percent");
			});
		AddFigureRow("  X server, % of one core", "none set",
			[name](const Measurements& measured) {
				return measured.CounterOf(name, "server_percent");
			});
	}

	std::string minimized = "WindowCpu/minimized/640x480";
	benchmark::RegisterBenchmark(minimized.c_str(), MinimizedBench)
		->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1);
	AddFigureRow("minimized window, saverhost, % of one core", "< 0.1",
		[minimized](const Measurements& measured) {
			return measured.CounterOf(minimized, "host_percent");
		});
	return true;
}

const bool kRegistered = Register();

}	// namespace
