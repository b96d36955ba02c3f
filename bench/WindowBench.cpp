// The window output at 1920x1080, driven in this process as saverhost drives
// it, a frame at a time: the pixels the window lends (its framebuffer), the
// view pointed at them, the saver's present (DrawBitmap of a canvas that
// turns from one of two consecutive frames of the saver into the other, in
// turn), the damage it noted and the window's Present(), which sends the
// display only that. Against one memcpy of the canvas.
//
// Twice: on SDL's dummy video driver, whose framebuffer is plain memory that
// nothing reads, so that only the host's side shows; and on an Xvfb that the
// benchmark starts for itself, where SDL puts the rectangles of the
// framebuffer, a shared-memory image, to the X server and waits until the
// server has copied them. The times are the CPU time of the benchmark's
// thread, as for every row: the copies the X server makes are its own
// process's CPU time, reported beside it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include <Bitmap.h>

#include "DisplayEnvironment.h"
#include "HostBench.h"
#include "RatioTable.h"
#include "outputs/window/WindowOutput.h"
#include "run/CommandLine.h"
#include "run/Surface.h"


namespace {

enum class Screen { Dummy, Xvfb };


// Puts the pixels of frame within the rectangles into canvas.
void
CopyInto(BBitmap& canvas, const PixelView& frame, const std::vector<PixelRect>& rects)
{
	for (const PixelRect& rect : rects) {
		for (int32_t y = rect.y; y < rect.y + rect.height; y++) {
			std::memcpy(static_cast<uint8_t*>(canvas.Bits()) + static_cast<size_t>(y)
				* canvas.BytesPerRow() + static_cast<size_t>(rect.x) * 4,
				frame.Row(y) + static_cast<size_t>(rect.x) * 4,
				static_cast<size_t>(rect.width) * 4);
		}
	}
}


void
WindowPresentBench(benchmark::State& state, Screen screen)
{
	// One canvas, as the saver has: between two presents (not timed) it
	// turns from one of two consecutive frames into the other where they
	// differ, as the saver's frame step changes it.
	const SaverFrames& frames = FramesAt(kFullHd);
	const std::vector<PixelRect>& changed = DamageBetween(frames).Rects();
	const PixelView pair[2] = {frames.First(), frames.Second()};
	BBitmap canvas(BRect(0, 0, kFullHd.width - 1, kFullHd.height - 1), B_RGB32);
	CopyInto(canvas, pair[0], {PixelRect{0, 0, kFullHd.width, kFullHd.height}});

	XServer* server = nullptr;
	if (screen == Screen::Xvfb) {
		std::string why;
		server = XServer::Get(kFullHd, why);
		if (server == nullptr) {
			state.SkipWithError(why.c_str());
			return;
		}
	}
	DisplayEnvironment environment(server != nullptr ? server->Name() : "");

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

	Result<std::unique_ptr<Surface>> made = Surface::Create(size, "saver");
	if (!made) {
		state.SkipWithError(made.Message().c_str());
		return;
	}
	Surface& surface = *made.Value();
	std::optional<double> serverBefore = server != nullptr ? server->CpuSeconds()
		: std::nullopt;
	auto wallBefore = std::chrono::steady_clock::now();
	int which = 0;
	double rects = 0;
	for (auto _ : state) {
		std::optional<PixelTarget> lent = output.LendPixels(size);
		if (!lent) {
			state.SkipWithError("the window lent no pixels: the frame would be copied twice");
			break;
		}
		surface.DrawInto(lent);
		state.PauseTiming();
		which ^= 1;
		CopyInto(canvas, pair[which], changed);
		state.ResumeTiming();
		surface.View()->DrawBitmap(&canvas);
		const Damage& damage = surface.TakeDamage();
		rects += damage.Rects().size();
		Result<void> shown = output.Present(surface.Pixels(), damage);
		if (!shown) {
			state.SkipWithError(shown.Message().c_str());
			break;
		}
	}
	std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallBefore;

	// Per frame: the wall time, the rectangles sent, and the X server's CPU
	// time.
	state.counters["wall_s"] = benchmark::Counter(wall.count(), benchmark::Counter::kAvgIterations);
	state.counters["rects"] = benchmark::Counter(rects, benchmark::Counter::kAvgIterations);
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
