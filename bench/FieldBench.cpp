// The mote field's own work: the frame step without the present, at three
// screen sizes, and the clear that StartSaver does, against a memset of the
// same bytes.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>

#include "Canvas.h"
#include "FrameStep.h"
#include "MoteSeeding.h"
#include "RatioTable.h"


namespace {

struct Size {
	int32 width;
	int32 height;

	std::string Text() const { return std::to_string(width) + "x" + std::to_string(height); }
};

const Size kSizes[] = { {640, 480}, {1920, 1080}, {3840, 2160} };

// Frames run before timing, so that the field has left its seeded start.
const int kWarmFrames = 500;


// A seeded field on a cleared canvas, always the same for a size.
class Field {
public:
	explicit Field(Size size)
		:
		fBitmap(CreateCanvas(size.width, size.height)),
		fCanvas(fBitmap.get(), size.width, size.height)
	{
		fCanvas.Clear();
		srand(20240101);
		unsigned short uniform[3] = { 0x330e, 0x1234, 0xabcd };
		seed48(uniform);
		SeedMotes(fMotes, size.width, size.height);
		for (int frame = 0; frame < kWarmFrames; frame++)
			Step();
	}

	void Step() { StepFrame(fMotes, fCanvas); }

	BBitmap* Bitmap() const { return fBitmap.get(); }
	Canvas& CanvasOf() { return fCanvas; }

private:
	std::unique_ptr<BBitmap> fBitmap;
	Canvas fCanvas;
	Mote fMotes[kMoteCount];
};


void
FrameStepBench(benchmark::State& state, Size size)
{
	Field field(size);
	for (auto _ : state) {
		field.Step();
		benchmark::ClobberMemory();
	}
}


void
ClearBench(benchmark::State& state, Size size)
{
	Field field(size);
	for (auto _ : state) {
		field.CanvasOf().Clear();
		benchmark::ClobberMemory();
	}
	state.SetBytesProcessed(state.iterations() * field.Bitmap()->BitsLength());
}


void
MemsetBench(benchmark::State& state, Size size)
{
	Field field(size);
	void* bits = field.Bitmap()->Bits();
	size_t length = field.Bitmap()->BitsLength();
	for (auto _ : state) {
		benchmark::DoNotOptimize(bits);
		memset(bits, 0, length);
		benchmark::ClobberMemory();
	}
	state.SetBytesProcessed(state.iterations() * length);
}


bool
Register()
{
	for (const Size& size : kSizes) {
		benchmark::RegisterBenchmark(("FrameStep/" + size.Text()).c_str(), FrameStepBench,
			size)->Unit(benchmark::kMicrosecond);
	}
	for (const Size& size : { kSizes[0], kSizes[2] }) {
		benchmark::RegisterBenchmark(("Clear/" + size.Text()).c_str(), ClearBench, size)
			->Unit(benchmark::kMicrosecond);
		benchmark::RegisterBenchmark(("Memset/" + size.Text()).c_str(), MemsetBench, size)
			->Unit(benchmark::kMicrosecond);
	}

	AddRatioRow("frame step 1920x1080 / 640x480", "FrameStep/1920x1080", "FrameStep/640x480",
		"<= 1.05");
	AddRatioRow("frame step 3840x2160 / 640x480", "FrameStep/3840x2160", "FrameStep/640x480",
		"<= 1.05");
	AddRatioRow("clear / memset, 640x480", "Clear/640x480", "Memset/640x480", "<= 1.5");
	AddRatioRow("clear / memset, 3840x2160", "Clear/3840x2160", "Memset/3840x2160", "<= 1.5");
	return true;
}

const bool kRegistered = Register();

}	// namespace
