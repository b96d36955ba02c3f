#include "HostBench.h"

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstring>
#include <map>
#include <stdexcept>
#include <utility>

#include "run/Clock.h"


namespace {

// The wall clock the saver seeds its generator from: any fixed second.
constexpr time_t kPinnedClock = 1'000'000;


void
MemcpyBench(benchmark::State& state, Size size)
{
	const SaverFrames& frames = FramesAt(size);
	const void* from = frames.canvas->Bits();
	std::vector<uint8_t> to(frames.Bytes());
	for (auto _ : state) {
		benchmark::DoNotOptimize(from);
		std::memcpy(to.data(), from, to.size());
		benchmark::ClobberMemory();
	}
	state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(to.size()));
}


bool
Register()
{
	benchmark::RegisterBenchmark(("Memcpy/" + SizeText(kFullHd)).c_str(), MemcpyBench, kFullHd)
		->Unit(benchmark::kMicrosecond);
	return true;
}

const bool kRegistered = Register();

}	// namespace


SaverRun::SaverRun(Size size)
	:
	fSaver(std::make_unique<Dustglow>(&fArchive, 0))
{
	Result<std::unique_ptr<Surface>> made = Surface::Create(size, "saver");
	if (!made)
		throw std::runtime_error(made.Message());
	fSurface = std::move(made.Value());

	// The benchmarks need no real time of day after this: the pin stays.
	PinClock(kPinnedClock);
	unsigned short uniform[3] = { 0x330e, 0x1234, 0xabcd };
	seed48(uniform);
	if (fSaver->StartSaver(fSurface->View(), false) != B_OK)
		throw std::runtime_error("the saver refused a " + SizeText(size) + " view");
}


SaverRun::~SaverRun()
{
	fSaver->StopSaver();
}


void
SaverRun::Draw()
{
	fSaver->Draw(fSurface->View(), fFrame++);
}


const SaverFrames&
FramesAt(Size size)
{
	// Kept to the end of the process, runs and all, and never destroyed:
	// the canvas belongs to the run, and the stand-in kit's own statics may
	// be gone before these would be.
	static auto* cache = new std::map<std::pair<int32_t, int32_t>, SaverFrames>();
	auto key = std::make_pair(size.width, size.height);
	auto found = cache->find(key);
	if (found != cache->end())
		return found->second;

	SaverRun* run = new SaverRun(size);
	for (int tick = 0; tick < kWarmTicks - 1; tick++)
		run->Draw();
	auto copy = [&](std::vector<uint8_t>& into) {
		PixelView pixels = run->Pixels();
		into.resize(static_cast<size_t>(pixels.width) * 4 * pixels.height);
		for (int32_t y = 0; y < pixels.height; y++) {
			std::memcpy(into.data() + static_cast<size_t>(y) * pixels.width * 4, pixels.Row(y),
				static_cast<size_t>(pixels.width) * 4);
		}
	};
	SaverFrames frames;
	frames.size = size;
	copy(frames.first);
	run->Draw();
	copy(frames.second);
	frames.canvas = run->Canvas();
	return cache->emplace(key, std::move(frames)).first->second;
}
