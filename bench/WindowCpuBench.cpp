// saverhost in a window on an Xvfb of the benchmark's own, as a process of
// its own: what a tick costs it and the X server together, full screen at
// 1920x1080 and at 3840x2160, against the floor of a tick (the frame step
// and one memcpy of the frame: the saver's work, and one look at each of its
// pixels); with --screensaver on two RandR monitors of 1920x1080 side by
// side, against full screen on one; and what saverhost costs while its
// window is minimized.
//
// The CPU times are read from the running processes (clock_getcpuclockid)
// once saverhost has started and drawn for a while, and again every few
// seconds after, so that start-up and the end are not in them.
//
// Beside the floor, a memcpy of the frame made a tick after the one before
// (Memcpy/paced/WxH): in the pause between two ticks other work takes the
// caches, and a tick finds the frame's pixels in memory, not in the caches
// that the back-to-back memcpy of the floor finds them in.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include "HostBench.h"
#include "HostProcess.h"
#include "RatioTable.h"
#include "ScratchFolder.h"
#include "VirtualDisplay.h"


namespace {

using std::chrono::steady_clock;

constexpr Size kUltraHd{3840, 2160};
// The saver's period.
constexpr double kTickSeconds = 0.040;
// From the start until the CPU times are first read: loading, the first
// frames, and the window settled.
constexpr std::chrono::milliseconds kStartUp{2000};
// Full screen: the least of a few spans, the one the rest of the machine
// disturbed least.
constexpr int kFullScreenSpans = 3;
constexpr std::chrono::seconds kFullScreenSpan{4};
constexpr std::chrono::seconds kMinimizedTime{10};


// One memcpy of a frame a tick, the pause between them not counted.
void
PacedMemcpyBench(benchmark::State& state, Size size)
{
	size_t bytes = static_cast<size_t>(size.width) * 4 * size.height;
	std::vector<uint8_t> from(bytes, 1);
	std::vector<uint8_t> to(bytes, 2);
	for (auto _ : state) {
		state.PauseTiming();
		std::this_thread::sleep_for(std::chrono::microseconds(40000));
		state.ResumeTiming();
		benchmark::DoNotOptimize(from.data());
		std::memcpy(to.data(), from.data(), bytes);
		benchmark::ClobberMemory();
	}
	state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}


// What saverhost and the X server used between two readings.
struct CpuSpan {
	steady_clock::time_point wall;
	std::optional<double> host;
	std::optional<double> server;

	static CpuSpan Now(const HostProcess& host, const XServer& server)
	{
		return CpuSpan{steady_clock::now(), ProcessCpuSeconds(host.Id()),
			server.CpuSeconds()};
	}
};


// What the span cost a tick, saverhost and the X server, in seconds.
struct TickCost {
	double host = 0;
	double server = 0;
	double wall = 0;
};


std::optional<TickCost>
CostOf(const CpuSpan& from, const CpuSpan& to)
{
	if (!from.host || !to.host || !from.server || !to.server)
		return std::nullopt;
	double wall = std::chrono::duration<double>(to.wall - from.wall).count();
	double ticks = wall / kTickSeconds;
	return TickCost{(*to.host - *from.host) / ticks, (*to.server - *from.server) / ticks, wall};
}


// Sets the counters of a span: per tick, and as a share of one core.
void
Count(benchmark::State& state, const TickCost& cost)
{
	state.counters["host_cpu_s"] = cost.host;
	state.counters["server_cpu_s"] = cost.server;
	state.counters["host_percent"] = 100 * cost.host / kTickSeconds;
	state.counters["server_percent"] = 100 * cost.server / kTickSeconds;
}


// The screen of display as RandR monitors of monitor's size side by side:
// the first takes the screen's output (which would otherwise be a monitor
// of its own over them all), the others none.
bool
SplitIntoMonitors(const std::string& display, Size monitor, int count)
{
	Display* x = XOpenDisplay(display.c_str());
	if (x == nullptr)
		return false;
	Window root = DefaultRootWindow(x);
	XRRScreenResources* resources = XRRGetScreenResources(x, root);
	for (int i = 0; resources != nullptr && resources->noutput > 0 && i < count; i++) {
		XRRMonitorInfo* info = XRRAllocateMonitor(x, i == 0 ? 1 : 0);
		std::string name = "monitor-" + std::to_string(i);
		info->name = XInternAtom(x, name.c_str(), False);
		info->x = i * monitor.width;
		info->width = monitor.width;
		info->height = monitor.height;
		info->mwidth = monitor.width * 254 / 960;
		info->mheight = monitor.height * 254 / 960;
		if (i == 0)
			info->outputs[0] = resources->outputs[0];
		XRRSetMonitor(x, root, info);
		XRRFreeMonitors(info);
	}
	if (resources != nullptr)
		XRRFreeScreenResources(resources);
	int listed = 0;
	XRRFreeMonitors(XRRGetMonitors(x, root, True, &listed));
	XCloseDisplay(x);
	return listed == count;
}


// saverhost full screen on one monitor, or covering monitors monitors of
// 1920x1080 side by side with --screensaver.
void
FullScreenBench(benchmark::State& state, Size screen, int monitors)
{
	std::string why;
	XServer* server = XServer::Get(screen, why);
	if (server == nullptr) {
		state.SkipWithError(why.c_str());
		return;
	}
	if (monitors > 1 && !SplitIntoMonitors(server->Name(), kFullHd, monitors)) {
		state.SkipWithError("the X server has no RandR monitors");
		return;
	}
	std::vector<std::string> arguments = monitors > 1
		? std::vector<std::string>{"--screensaver", DUSTGLOW_PATH}
		: std::vector<std::string>{"--output", "window", "--fullscreen", DUSTGLOW_PATH};
	ScratchFolder scratch("bench");
	for (auto _ : state) {
		HostProcess host(scratch.Path(), arguments, {"DISPLAY=" + server->Name()});
		std::this_thread::sleep_for(kStartUp);
		std::optional<TickCost> least;
		CpuSpan from = CpuSpan::Now(host, *server);
		for (int span = 0; span < kFullScreenSpans; span++) {
			std::this_thread::sleep_for(kFullScreenSpan);
			CpuSpan to = CpuSpan::Now(host, *server);
			std::optional<TickCost> cost = CostOf(from, to);
			if (!host.Running() || !cost) {
				state.SkipWithError("saverhost did not run in the window");
				return;
			}
			if (!least || cost->host + cost->server < least->host + least->server)
				least = cost;
			from = to;
		}
		Count(state, *least);
	}
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
	ScratchFolder scratch("bench");
	for (auto _ : state) {
		HostProcess host(scratch.Path(), {"--output", "window", "--size", "640x480",
			DUSTGLOW_PATH}, {"DISPLAY=" + server->Name()});
		std::this_thread::sleep_for(kStartUp);
		VirtualDisplay& display = server->Display();
		std::optional<Window> window = display.FindWindow("Dustglow");
		if (!window) {
			state.SkipWithError("saverhost's window did not appear");
			return;
		}
		XUnmapWindow(display.Connection(), *window);
		XSync(display.Connection(), False);
		std::this_thread::sleep_for(std::chrono::milliseconds(500));
		CpuSpan from = CpuSpan::Now(host, *server);
		std::this_thread::sleep_for(kMinimizedTime);
		CpuSpan to = CpuSpan::Now(host, *server);
		std::optional<TickCost> cost = CostOf(from, to);
		if (!host.Running() || !cost) {
			state.SkipWithError("saverhost did not run in the window");
			return;
		}
		Count(state, *cost);
	}
}


// --screensaver on two monitors of 1920x1080 against full screen on one:
// saverhost and the X server, a share of one core each, and the two together
// against the one full screen's.
void
RegisterScreensaver()
{
	std::string name = "ScreensCpu/Xvfb/2x1920x1080";
	benchmark::RegisterBenchmark(name.c_str(), FullScreenBench, Size{2 * kFullHd.width,
		kFullHd.height}, 2)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1);
	std::string one = "WindowCpu/Xvfb/" + SizeText(kFullHd);
	AddFigureRow("--screensaver, 2 x 1920x1080 / --fullscreen, 1920x1080", "none set",
		[name, one](const Measurements& measured) -> std::optional<double> {
			std::optional<double> two = measured.CounterOf(name, "host_cpu_s");
			std::optional<double> twoServer = measured.CounterOf(name, "server_cpu_s");
			std::optional<double> single = measured.CounterOf(one, "host_cpu_s");
			std::optional<double> singleServer = measured.CounterOf(one, "server_cpu_s");
			if (!two || !twoServer || !single || !singleServer)
				return std::nullopt;
			return (*two + *twoServer) / (*single + *singleServer);
		});
	AddCounterRow("  saverhost, % of one core", "none set", name, "host_percent");
	AddCounterRow("  X server, % of one core", "none set", name, "server_percent");
}


bool
Register()
{
	for (Size screen : {kFullHd, kUltraHd}) {
		std::string size = SizeText(screen);
		std::string name = "WindowCpu/Xvfb/" + size;
		benchmark::RegisterBenchmark(name.c_str(), FullScreenBench, screen, 1)
			->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1);

		// saverhost and the X server a tick, against the frame step and a
		// memcpy of the frame.
		std::string step = "FrameStep/" + size;
		std::string copy = "Memcpy/" + size;
		std::string pacedCopy = "Memcpy/paced/" + size;
		benchmark::RegisterBenchmark(pacedCopy.c_str(), PacedMemcpyBench, screen)
			->Unit(benchmark::kMicrosecond)->Iterations(50);
		auto againstFloor = [name, step](const std::string& copy) {
			return [name, step, copy](const Measurements& measured) -> std::optional<double> {
				std::optional<double> host = measured.CounterOf(name, "host_cpu_s");
				std::optional<double> server = measured.CounterOf(name, "server_cpu_s");
				std::optional<double> stepSeconds = measured.SecondsOf(step);
				std::optional<double> copySeconds = measured.SecondsOf(copy);
				if (!host || !server || !stepSeconds || !copySeconds)
					return std::nullopt;
				return (*host + *server) / (*stepSeconds + *copySeconds);
			};
		};
		AddFigureRow("saverhost + X server a tick / (frame step + memcpy), " + size, "<= 1.25",
			againstFloor(copy));
		AddFigureRow("  / (frame step + memcpy a tick apart)", "none set",
			againstFloor(pacedCopy));
		AddCounterRow("  saverhost, % of one core", "none set", name, "host_percent");
		AddCounterRow("  X server, % of one core", "none set", name, "server_percent");
	}

	RegisterScreensaver();

	std::string minimized = "WindowCpu/minimized/640x480";
	benchmark::RegisterBenchmark(minimized.c_str(), MinimizedBench)
		->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1);
	AddCounterRow("minimized window, saverhost, % of one core", "< 0.1", minimized,
		"host_percent");
	return true;
}

const bool kRegistered = Register();

}	// namespace
