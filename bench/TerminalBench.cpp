// The terminal output's picture (TerminalPicture): the cost of encoding a
// 1920x1080 frame for a 200x60 terminal, given what changed since the frame
// before, against one memcpy of the canvas;
// and what a run of the saver sends the terminal, in bytes a frame, against
// repainting every cell.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "HostBench.h"
#include "RatioTable.h"
#include "outputs/terminal/TerminalPicture.h"


namespace {

// The terminal a 1920x1080 frame is encoded for.
constexpr int32_t kWideColumns = 200;
constexpr int32_t kWideRows = 60;

// The run whose bytes are counted: ten seconds of the saver on a 640x480
// view, in a 100x40 terminal with 24-bit colour.
constexpr Size kRunSize{640, 480};
constexpr int32_t kRunColumns = 100;
constexpr int32_t kRunRows = 40;
constexpr int kRunTicks = 250;


size_t
DigitCount(uint32_t value)
{
	size_t count = 1;
	for (; value >= 10; value /= 10)
		count++;
	return count;
}


// The bytes of a 24-bit colour's three numbers and their separators, as in
// "255;0;12".
size_t
ColourBytes(Rgb colour)
{
	return DigitCount(colour >> 16 & 0xff) + 1 + DigitCount(colour >> 8 & 0xff) + 1
		+ DigitCount(colour & 0xff);
}


// A full repaint of the frame with nothing saved: the cursor put at the
// start of every row, and every cell written as "ESC[38;2;R;G;B;48;2;R;G;Bm"
// and the upper half block, both colours each time. The cells are the
// encoder's: the frame scaled to two pixels a cell, centred on black.
class PlainRepaint {
public:
	size_t Bytes(const PixelView& frame, int32_t columns, int32_t rows)
	{
		PictureLayout layout = FitPicture(Size{frame.width, frame.height}, columns, rows);
		fScaler.Scale(frame, layout.width, layout.height, fScaled);
		fTop.assign(static_cast<size_t>(columns) * rows, 0);
		fBottom.assign(static_cast<size_t>(columns) * rows, 0);
		for (int32_t y = 0; y < layout.height; y++) {
			int32_t row = (layout.top + y) / 2;
			std::vector<Rgb>& half = (layout.top + y) % 2 == 0 ? fTop : fBottom;
			for (int32_t x = 0; x < layout.width; x++) {
				half[static_cast<size_t>(row) * columns + layout.left + x]
					= fScaled[static_cast<size_t>(y) * layout.width + x];
			}
		}

		const size_t fixed = std::string("\x1b[38;2;").size() + std::string(";48;2;").size()
			+ std::string("m").size() + std::string("\xe2\x96\x80").size();
		size_t bytes = 0;
		for (int32_t row = 0; row < rows; row++) {
			bytes += 3 + DigitCount(static_cast<uint32_t>(row + 1));	// ESC [ row H
			for (int32_t column = 0; column < columns; column++) {
				size_t cell = static_cast<size_t>(row) * columns + column;
				bytes += fixed + ColourBytes(fTop[cell]) + ColourBytes(fBottom[cell]);
			}
		}
		return bytes;
	}

private:
	AreaScaler fScaler;
	std::vector<Rgb> fScaled;
	std::vector<Rgb> fTop;
	std::vector<Rgb> fBottom;
};


// Encoding one frame after another, two frames of the saver in a row taken
// in turn, with the damage the present notes between them, so that every
// encode works out again and sends what changed.
void
TerminalEncodeBench(benchmark::State& state)
{
	const SaverFrames& frames = FramesAt(kFullHd);
	const Damage& damage = DamageBetween(frames);
	TerminalPicture picture(TerminalColors::TrueColor);
	picture.SetArea(kWideColumns, kWideRows);
	std::string out;
	picture.Encode(frames.First(), out);

	const PixelView pair[2] = {frames.Second(), frames.First()};
	size_t sent = 0;
	int which = 0;
	for (auto _ : state) {
		out.clear();
		sent += picture.Encode(pair[which], damage, out);
		which ^= 1;
		benchmark::DoNotOptimize(out.data());
	}
	state.counters["bytes"] = benchmark::Counter(static_cast<double>(sent),
		benchmark::Counter::kAvgIterations);
	state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(frames.Bytes()));
}


// The saver's run as the terminal output sends it, frame by frame, beside
// the encoder's own full repaint of each frame (as after Invalidate()) and a
// plain one. One iteration is the whole run.
void
TerminalBytesBench(benchmark::State& state)
{
	for (auto _ : state) {
		SaverRun run(kRunSize);
		TerminalPicture picture(TerminalColors::TrueColor);
		TerminalPicture repaint(TerminalColors::TrueColor);
		PlainRepaint plain;
		picture.SetArea(kRunColumns, kRunRows);
		repaint.SetArea(kRunColumns, kRunRows);

		std::string out;
		double sent = 0;
		double first = 0;
		double repainted = 0;
		double plainBytes = 0;
		for (int tick = 0; tick < kRunTicks; tick++) {
			run.Draw();
			PixelView pixels = run.Pixels();
			out.clear();
			size_t bytes = picture.Encode(pixels, out);
			sent += bytes;
			if (tick == 0)
				first = bytes;
			out.clear();
			repaint.Invalidate();
			repainted += repaint.Encode(pixels, out);
			plainBytes += plain.Bytes(pixels, kRunColumns, kRunRows);
		}

		state.counters["bytes"] = sent / kRunTicks;
		state.counters["first_bytes"] = first;
		state.counters["later_bytes"] = (sent - first) / (kRunTicks - 1);
		state.counters["repaint_bytes"] = repainted / kRunTicks;
		state.counters["plain_bytes"] = plainBytes / kRunTicks;
	}
}


std::optional<double>
CounterRatio(const Measurements& measured, const std::string& benchmark,
	const std::string& top, const std::string& bottom)
{
	std::optional<double> numerator = measured.CounterOf(benchmark, top);
	std::optional<double> denominator = measured.CounterOf(benchmark, bottom);
	if (!numerator || !denominator || !(*denominator > 0))
		return std::nullopt;
	return *numerator / *denominator;
}


bool
Register()
{
	std::string size = SizeText(kFullHd);
	std::string terminal = std::to_string(kWideColumns) + "x" + std::to_string(kWideRows);
	std::string encode = "TerminalEncode/" + size + "/" + terminal;
	benchmark::RegisterBenchmark(encode.c_str(), TerminalEncodeBench)
		->Unit(benchmark::kMicrosecond);

	std::string run = std::to_string(kRunColumns) + "x" + std::to_string(kRunRows);
	std::string bytes = "TerminalBytes/" + SizeText(kRunSize) + "/" + run;
	benchmark::RegisterBenchmark(bytes.c_str(), TerminalBytesBench)
		->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1);

	AddRatioRow("terminal encode / memcpy, " + size + " in " + terminal, encode,
		"Memcpy/" + size, "<= 2");
	AddFigureRow("terminal bytes a frame / full repaint", "<= 0.10",
		[bytes](const Measurements& measured) {
			return CounterRatio(measured, bytes, "bytes", "repaint_bytes");
		});
	AddFigureRow("terminal bytes a frame / plain repaint", "<= 0.10",
		[bytes](const Measurements& measured) {
			return CounterRatio(measured, bytes, "bytes", "plain_bytes");
		});
	return true;
}

const bool kRegistered = Register();

}	// namespace
