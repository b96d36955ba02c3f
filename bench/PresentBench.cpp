// The present: the saver's DrawBitmap() of its canvas into a view whose
// pixels the host owns (rows of exactly 4 x width bytes, as saverhost makes
// them), against one memcpy of as many bytes. Between two presents 144
// squares of 13 pixels change on the canvas (not timed), as the discs of the
// saver's 72 motes are erased and drawn again between two frames. Presents
// made a tick apart (Present/paced/WxH) find the canvas and the view in
// memory, as saverhost's do, not in the caches; they are set beside the
// memcpy made a tick apart (Memcpy/paced/WxH, WindowCpuBench.cpp).
#include <benchmark/benchmark.h>

#include <string.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
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
const Size kPacedSizes[] = { {1920, 1080}, {3840, 2160} };


// The number of squares and their side that change between two presents.
const int32 kChangedSquares = 144;
const int32 kSquareSide = 13;


// A canvas with something on it and a view of the same size over host
// pixels.
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
		uint32 state = 1;
		for (int32 i = 0; i < kChangedSquares; i++) {
			state = state * 1103515245u + 12345u;
			fSquares[i].x = (int32)((state >> 8) % (uint32)(size.width - kSquareSide));
			state = state * 1103515245u + 12345u;
			fSquares[i].y = (int32)((state >> 8) % (uint32)(size.height - kSquareSide));
		}
		BPrivate::ViewSurface::Attach(&fView, fPixels.data(), size.width * 4, size.width,
			size.height);
	}

	~Screen() { BPrivate::ViewSurface::Detach(&fView); }

	// Inverts the colours of the squares, as a frame of the saver erases and
	// draws its discs.
	void ToggleSquares()
	{
		for (int32 i = 0; i < kChangedSquares; i++) {
			for (int32 y = fSquares[i].y; y < fSquares[i].y + kSquareSide; y++) {
				uint8* pixel = (uint8*)fCanvas->Bits() + (size_t)y * fCanvas->BytesPerRow()
					+ fSquares[i].x * 4;
				for (int32 x = 0; x < kSquareSide; x++, pixel += 4)
					pixel[0] = pixel[1] = pixel[2] = (uint8)~pixel[0];
			}
		}
	}

	const BBitmap* Canvas() const { return fCanvas.get(); }
	BView* View() { return &fView; }
	uint8* Pixels() { return fPixels.data(); }
	size_t PixelBytes() const { return fPixels.size(); }

private:
	struct Square {
		int32 x;
		int32 y;
	};

	std::unique_ptr<BBitmap> fCanvas;
	Square fSquares[kChangedSquares];
	std::vector<uint8> fPixels;
	BView fView;
};


void
PresentBench(benchmark::State& state, Size size)
{
	Screen screen(size);
	for (auto _ : state) {
		state.PauseTiming();
		screen.ToggleSquares();
		state.ResumeTiming();
		PresentCanvas(screen.View(), screen.Canvas());
		benchmark::ClobberMemory();
	}
	state.SetBytesProcessed(state.iterations() * screen.PixelBytes());
}


// The same, a tick after the present before; the pause is not timed.
void
PacedPresentBench(benchmark::State& state, Size size)
{
	Screen screen(size);
	for (auto _ : state) {
		state.PauseTiming();
		screen.ToggleSquares();
		std::this_thread::sleep_for(std::chrono::microseconds(40000));
		state.ResumeTiming();
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
		"<= 1.2");
	AddRatioRow("present / memcpy, 3840x2160", "Present/3840x2160", "Memcpy/3840x2160",
		"<= 1.2");
	for (const Size& size : kPacedSizes) {
		std::string paced = "Present/paced/" + size.Text();
		benchmark::RegisterBenchmark(paced.c_str(), PacedPresentBench, size)
			->Unit(benchmark::kMicrosecond)->Iterations(50);
		AddRatioRow("present / memcpy, a tick apart, " + size.Text(), paced,
			"Memcpy/paced/" + size.Text(), "none set");
	}
	return true;
}

const bool kRegistered = Register();

}	// namespace
