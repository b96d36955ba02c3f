// The terminal output's pictures in the terminal's own pixels, at a terminal
// of 1280x720 pixels (160x45 cells of 8x16) showing 1920x1080 frames: the
// cost of encoding a frame given what changed since the frame before, as
// sixel images of the cells that changed, as one sixel image of the whole
// picture (what a terminal that keeps few images gets) and as kitty's
// graphics, against one memcpy of the canvas; and what a run of the saver
// sends the terminal, beside the character cells of a 200x60 terminal.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>

#include "HostBench.h"
#include "RatioTable.h"
#include "outputs/terminal/KittyPicture.h"
#include "outputs/terminal/SixelPicture.h"
#include "outputs/terminal/TerminalPicture.h"


namespace {

constexpr TerminalArea kArea{160, 45, 8, 16};
constexpr int kTicksASecond = 25;
// The run whose bytes are counted: ten seconds of the saver; every tenth
// frame is also painted whole, for what sending only the changes saves.
constexpr int kRunTicks = 250;
constexpr int kRepaintEvery = 10;

const char* const kKinds[] = {"sixel", "sixel-whole", "kitty"};


std::unique_ptr<TerminalPainter>
MakePicture(const std::string& kind)
{
	if (kind == "kitty")
		return std::make_unique<KittyPicture>();
	return std::make_unique<SixelPicture>(SixelTerminal{256, Size{}, kind == "sixel-whole"});
}


std::string
AreaText()
{
	return SizeText(Size{kArea.PixelWidth(), kArea.PixelHeight()});
}


// One frame after another, two frames of the saver in a row taken in turn
// with the damage between them.
void
PixelEncodeBench(benchmark::State& state, std::string kind)
{
	const SaverFrames& frames = FramesAt(kFullHd);
	const Damage& damage = DamageBetween(frames);
	std::unique_ptr<TerminalPainter> picture = MakePicture(kind);
	picture->SetArea(kArea);
	std::string out;
	picture->Encode(frames.First(), Damage(), out);

	const PixelView pair[2] = {frames.Second(), frames.First()};
	size_t sent = 0;
	int which = 0;
	for (auto _ : state) {
		out.clear();
		sent += picture->Encode(pair[which], damage, out);
		which ^= 1;
		benchmark::DoNotOptimize(out.data());
	}
	state.counters["bytes"] = benchmark::Counter(static_cast<double>(sent),
		benchmark::Counter::kAvgIterations);
}


// The saver's run at 1920x1080 as each picture sends it, in bytes a second
// at 25 frames a second, the first frame left out; and each picture's whole
// repaint of every tenth frame, in bytes a frame.
void
PixelBytesBench(benchmark::State& state)
{
	for (auto _ : state) {
		SaverRun run(kFullHd);
		std::unique_ptr<TerminalPainter> pictures[3];
		std::unique_ptr<TerminalPainter> repaints[3];
		double sent[4] = {};
		double repainted[3] = {};
		for (int kind = 0; kind < 3; kind++) {
			pictures[kind] = MakePicture(kKinds[kind]);
			repaints[kind] = MakePicture(kKinds[kind]);
			pictures[kind]->SetArea(kArea);
			repaints[kind]->SetArea(kArea);
		}
		TerminalPicture cells(TerminalColors::TrueColor);
		cells.SetArea(200, 60);

		std::string out;
		for (int tick = 0; tick < kRunTicks; tick++) {
			run.Draw();
			PixelView pixels = run.Pixels();
			Damage damage = run.TakeDamage();
			if (tick == 0)
				damage = Damage();
			for (int kind = 0; kind < 3; kind++) {
				out.clear();
				double bytes = static_cast<double>(pictures[kind]->Encode(pixels, damage, out));
				sent[kind] += tick == 0 ? 0 : bytes;
				if (tick % kRepaintEvery != 0)
					continue;
				out.clear();
				repaints[kind]->Invalidate();
				repainted[kind] += repaints[kind]->Encode(pixels, Damage(), out);
			}
			out.clear();
			double bytes = static_cast<double>(cells.Encode(pixels, damage, out));
			sent[3] += tick == 0 ? 0 : bytes;
		}
		const char* names[] = {"sixel", "sixel_whole", "kitty", "cells"};
		for (int kind = 0; kind < 4; kind++) {
			state.counters[std::string(names[kind]) + "_per_s"]
				= sent[kind] / (kRunTicks - 1) * kTicksASecond;
			if (kind < 3) {
				state.counters[std::string(names[kind]) + "_repaint"]
					= repainted[kind] / (kRunTicks / kRepaintEvery);
			}
		}
	}
}


bool
Register()
{
	std::string size = SizeText(kFullHd);
	std::string area = AreaText();
	for (const char* kind : kKinds) {
		std::string name = std::string("TerminalEncode/") + kind + "/" + size + "/" + area;
		benchmark::RegisterBenchmark(name.c_str(), PixelEncodeBench, std::string(kind))
			->Unit(benchmark::kMicrosecond);
		AddRatioRow(std::string("terminal ") + kind + " encode / memcpy, " + size + " in "
			+ area, name, "Memcpy/" + size, kind == std::string("sixel-whole") ? "none set"
			: "<= 2");
	}

	std::string bytes = "TerminalBytes/pixels/" + size + "/" + area;
	benchmark::RegisterBenchmark(bytes.c_str(), PixelBytesBench)
		->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1);
	const char* names[] = {"sixel", "sixel_whole", "kitty", "cells"};
	for (const char* name : names) {
		std::string counter = std::string(name) + "_per_s";
		AddFigureRow(std::string("terminal KB a second, ") + name
				+ (name == std::string("cells") ? ", 200x60" : ", " + area), "none set",
			[bytes, counter](const Measurements& measured) -> std::optional<double> {
				std::optional<double> perSecond = measured.CounterOf(bytes, counter);
				if (!perSecond)
					return std::nullopt;
				return *perSecond / 1000;
			});
		if (name == std::string("cells"))
			continue;
		AddFigureRow(std::string("terminal ") + name + " bytes a frame / its full repaint",
			"none set", [bytes, name](const Measurements& measured) -> std::optional<double> {
				std::optional<double> perSecond = measured.CounterOf(bytes,
					std::string(name) + "_per_s");
				std::optional<double> repaint = measured.CounterOf(bytes,
					std::string(name) + "_repaint");
				if (!perSecond || !repaint || !(*repaint > 0))
					return std::nullopt;
				return *perSecond / kTicksASecond / *repaint;
			});
	}
	return true;
}

const bool kRegistered = Register();

}	// namespace
