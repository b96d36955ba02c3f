// The window output at 1920x1080, driven in this process as saverhost drives
// it, a frame at a time: the pixels the window lends (its framebuffer), the
// view pointed at them, the saver's present (DrawBitmap of its canvas) and
// the window's Present(). Against one memcpy of the canvas.
//
// Twice: on SDL's dummy video driver, whose framebuffer is plain memory that
// nothing reads, so that only the host's side shows; and on an Xvfb that the
// benchmark starts for itself, where SDL puts the framebuffer, a shared-memory
// image, to the X server and waits until the server has copied it. The times
// are the CPU time of the benchmark's thread, as for every row: the copy the
// X server makes is its own process's CPU time, reported beside it.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include <View.h>
#include <ViewSurface.h>

#include "HostBench.h"
#include "RatioTable.h"
#include "outputs/window/WindowOutput.h"
#include "run/Options.h"


namespace {

enum class Screen { Dummy, Xvfb };


// An X server of the benchmark's own: Xvfb with one screen of the size, on a
// display number it finds free; started on first use and stopped as the
// process ends, or with it.
class XServer {
public:
	static XServer* Get(std::string& why)
	{
		static std::unique_ptr<XServer> server;
		static std::string failure;
		if (!server && failure.empty()) {
			server = Start(failure);
			if (!server && failure.empty())
				failure = "Xvfb did not start";
		}
		why = failure;
		return server.get();
	}

	~XServer()
	{
		kill(fPid, SIGTERM);
		waitpid(fPid, nullptr, 0);
	}

	const std::string& Name() const { return fName; }

	// The CPU time the server has used so far, all its threads together.
	std::optional<double> CpuSeconds() const
	{
		clockid_t clock;
		timespec used;
		if (clock_getcpuclockid(fPid, &clock) != 0 || clock_gettime(clock, &used) != 0)
			return std::nullopt;
		return used.tv_sec + used.tv_nsec * 1e-9;
	}

private:
	XServer(pid_t pid, std::string name) : fPid(pid), fName(std::move(name)) {}

	static std::unique_ptr<XServer> Start(std::string& why)
	{
		int ends[2];
		if (pipe(ends) != 0) {
			why = "pipe failed";
			return nullptr;
		}
		std::string screen = SizeText(kFullHd) + "x24";
		pid_t pid = fork();
		if (pid == 0) {
			prctl(PR_SET_PDEATHSIG, SIGTERM);
			close(ends[0]);
			int quiet = open("/dev/null", O_WRONLY);
			dup2(quiet, STDOUT_FILENO);
			dup2(quiet, STDERR_FILENO);
			std::string fd = std::to_string(ends[1]);
			execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
				"-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
			_exit(127);
		}
		close(ends[1]);
		std::string number;
		char c;
		while (pid > 0 && read(ends[0], &c, 1) == 1 && c != '\n')
			number += c;
		close(ends[0]);
		if (pid < 0) {
			why = "fork failed";
			return nullptr;
		}
		if (number.empty()) {
			int status = 0;
			kill(pid, SIGTERM);
			waitpid(pid, &status, 0);
			why = WIFEXITED(status) && WEXITSTATUS(status) == 127 ? "Xvfb is not installed"
				: "Xvfb did not start";
			return nullptr;
		}
		return std::unique_ptr<XServer>(new XServer(pid, ":" + number));
	}

	pid_t fPid;
	std::string fName;
};


// The environment variables SDL and the window output look at, set for one
// display and put back afterwards.
class DisplayEnvironment {
public:
	DisplayEnvironment(Screen screen, const std::string& xDisplay)
	{
		for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}) {
			const char* value = std::getenv(name);
			fSaved[name] = value != nullptr ? std::optional<std::string>(value) : std::nullopt;
			unsetenv(name);
		}
		if (screen == Screen::Dummy)
			setenv("SDL_VIDEODRIVER", "dummy", 1);
		else
			setenv("DISPLAY", xDisplay.c_str(), 1);
	}

	~DisplayEnvironment()
	{
		for (const auto& [name, value] : fSaved) {
			if (value)
				setenv(name.c_str(), value->c_str(), 1);
			else
				unsetenv(name.c_str());
		}
	}

	DisplayEnvironment(const DisplayEnvironment&) = delete;
	DisplayEnvironment& operator=(const DisplayEnvironment&) = delete;

private:
	std::map<std::string, std::optional<std::string>> fSaved;
};


void
WindowPresentBench(benchmark::State& state, Screen screen)
{
	const SaverFrames& frames = FramesAt(kFullHd);

	XServer* server = nullptr;
	if (screen == Screen::Xvfb) {
		std::string why;
		server = XServer::Get(why);
		if (server == nullptr) {
			state.SkipWithError(why.c_str());
			return;
		}
	}
	DisplayEnvironment environment(screen, server != nullptr ? server->Name() : "");

	Options options;
	options.size = kFullHd;
	WindowOutput output;
	Result<Size> opened = output.Open(options);
	if (!opened) {
		state.SkipWithError(opened.Message().c_str());
		return;
	}
	Size size = opened.Value();
	if (size.width != kFullHd.width || size.height != kFullHd.height) {
		state.SkipWithError(("the window is " + SizeText(size) + ", not "
			+ SizeText(kFullHd)).c_str());
		return;
	}

	BView view(BRect(0, 0, size.width - 1, size.height - 1), "saver", B_FOLLOW_ALL,
		B_WILL_DRAW);
	std::optional<double> serverBefore = server != nullptr ? server->CpuSeconds()
		: std::nullopt;
	auto wallBefore = std::chrono::steady_clock::now();
	for (auto _ : state) {
		std::optional<PixelTarget> lent = output.LendPixels(size);
		if (!lent) {
			state.SkipWithError("the window lent no pixels: the frame would be copied twice");
			break;
		}
		BPrivate::ViewSurface::Attach(&view, lent->bits, static_cast<int32>(lent->bytesPerRow),
			size.width, size.height);
		view.DrawBitmap(frames.canvas);
		Result<void> shown = output.Present(PixelView{lent->bits, lent->bytesPerRow,
			size.width, size.height});
		if (!shown) {
			state.SkipWithError(shown.Message().c_str());
			break;
		}
	}
	std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallBefore;
	BPrivate::ViewSurface::Detach(&view);

	// Per frame: the wall time, and the X server's CPU time.
	state.counters["wall_s"] = benchmark::Counter(wall.count(), benchmark::Counter::kAvgIterations);
	if (server != nullptr) {
		std::optional<double> serverAfter = server->CpuSeconds();
		if (serverBefore && serverAfter) {
			state.counters["server_cpu_s"] = benchmark::Counter(*serverAfter - *serverBefore,
				benchmark::Counter::kAvgIterations);
		}
	}
	state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(frames.Bytes()));
}


bool
Register()
{
	std::string size = SizeText(kFullHd);
	std::string memcpy = "Memcpy/" + size;
	std::string dummy = "WindowPresent/dummy/" + size;
	std::string xvfb = "WindowPresent/Xvfb/" + size;
	benchmark::RegisterBenchmark(dummy.c_str(), WindowPresentBench, Screen::Dummy)
		->Unit(benchmark::kMicrosecond);
	benchmark::RegisterBenchmark(xvfb.c_str(), WindowPresentBench, Screen::Xvfb)
		->Unit(benchmark::kMicrosecond);

	AddRatioRow("window present / memcpy, " + size + ", dummy", dummy, memcpy, "<= 1.5");
	AddRatioRow("window present / memcpy, " + size + ", Xvfb", xvfb, memcpy, "<= 1.5");
	AddFigureRow("  + the X server's CPU time", "none set",
		[xvfb, memcpy](const Measurements& measured) -> std::optional<double> {
			std::optional<double> host = measured.SecondsOf(xvfb);
			std::optional<double> server = measured.CounterOf(xvfb, "server_cpu_s");
			std::optional<double> copy = measured.SecondsOf(memcpy);
			if (!host || !server || !copy || !(*copy > 0))
				return std::nullopt;
			return (*host + *server) / *copy;
		});
	return true;
}

const bool kRegistered = Register();

}	// namespace
