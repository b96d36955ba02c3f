// The present: the saver's DrawBitmap() of its canvas into a view whose
// pixels the host owns (rows of exactly 4 x width bytes, as saverhost makes
// them), against one memcpy of as many bytes.
#include <benchmark/benchmark.h>

#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include <View.h>
#include <ViewSurface.h>

#include "Canvas.h"
#include "RatioTable.h"


namespace {

struct Size {
	int32 width;
	int32 height;

	std::string Text() const { return std::to_string(width) + "x" + std::to_string(height); }
};

const Size kSizes[] = { {640, 480}, {3840, 2160} };


// A canvas with something on it and a view of the same size over host pixels.
class Screen {
public:
	explicit Screen(Size size)
		:
		fCanvas(CreateCanvas(size.width, size.height)),
		fPixels((size_t)size.width * 4 * size.height),
		fView(BRect(0, 0, size.width - 1, size.height - 1), "bench", B_FOLLOW_ALL,
			B_WILL_DRAW)
	{
		memset(fCanvas->Bits(), 0x5a, fCanvas->BitsLength());
		BPrivate::ViewSurface::Attach(&fView, fPixels.data(), size.width * 4, size.width,
			size.height);
	}

	~Screen() { BPrivate::ViewSurface::Detach(&fView); }

	const BBitmap* Canvas() const { return fCanvas.get(); }
	BView* View() { return &fView; }
	uint8* Pixels() { return fPixels.data(); }
	size_t PixelBytes() const { return fPixels.size(); }

private:
	std::unique_ptr<BBitmap> fCanvas;
	std::vector<uint8> fPixels;
	BView fView;
};


void
PresentBench(benchmark::State& state, Size size)
{
	Screen screen(size);
	for (auto _ : state) {
		PresentCanvas(screen.View(), screen.Canvas());
		benchmark::ClobberMemory();
	}
	state.SetBytesProcessed(state.iterations() * screen.PixelBytes());
}


void
MemcpyBench(benchmark::State& state, Size size)
{
	Screen screen(size);
	const void* from = screen.Canvas()->Bits();
	for (auto _ : state) {
		benchmark::DoNotOptimize(from);
		memcpy(screen.Pixels(), from, screen.PixelBytes());
		benchmark::ClobberMemory();
	}
	state.SetBytesProcessed(state.iterations() * screen.PixelBytes());
}


bool
Register()
{
	for (const Size& size : kSizes) {
		benchmark::RegisterBenchmark(("Present/" + size.Text()).c_str(), PresentBench, size)
			->Unit(benchmark::kMicrosecond);
		benchmark::RegisterBenchmark(("Memcpy/" + size.Text()).c_str(), MemcpyBench, size)
			->Unit(benchmark::kMicrosecond);
	}

	AddRatioRow("present / memcpy, 640x480", "Present/640x480", "Memcpy/640x480",
		"close to 1");
	AddRatioRow("present / memcpy, 3840x2160", "Present/3840x2160", "Memcpy/3840x2160",
		"close to 1");
	return true;
}

const bool kRegistered = Register();

}	// namespace
