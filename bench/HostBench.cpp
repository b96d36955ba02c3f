#include "HostBench.h"

#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <time.h>

#include <cstring>
#include <map>
#include <stdexcept>
#include <utility>

#include <Bitmap.h>
#include <View.h>
#include <ViewSurface.h>

#include "VirtualDisplay.h"
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


const Damage&
DamageBetween(const SaverFrames& frames)
{
	// The second frame drawn over the first, as the saver's present does.
	static auto* cache = new std::map<const SaverFrames*, Damage>();
	auto found = cache->find(&frames);
	if (found != cache->end())
		return found->second;

	Size size = frames.size;
	BBitmap second(BRect(0, 0, size.width - 1, size.height - 1), B_RGB32);
	PixelView from = frames.Second();
	for (int32_t y = 0; y < size.height; y++) {
		std::memcpy(static_cast<uint8_t*>(second.Bits()) + static_cast<size_t>(y)
			* second.BytesPerRow(), from.Row(y), static_cast<size_t>(size.width) * 4);
	}
	std::vector<uint8_t> pixels = frames.first;
	BView view(BRect(0, 0, size.width - 1, size.height - 1), "saver", B_FOLLOW_ALL,
		B_WILL_DRAW);
	BPrivate::ViewSurface::Attach(&view, pixels.data(), size.width * 4, size.width,
		size.height);
	view.DrawBitmap(&second);
	int32 columns = 0;
	int32 rows = 0;
	const uint8* tiles = BPrivate::ViewSurface::Damage(&view, &columns, &rows);
	Damage damage;
	damage.ReadTiles(tiles, columns, rows, BPrivate::ViewSurface::kDamageTileSize, size);
	BPrivate::ViewSurface::Detach(&view);
	return cache->emplace(&frames, std::move(damage)).first->second;
}


std::optional<double>
ProcessCpuSeconds(pid_t pid)
{
	clockid_t clock;
	timespec used;
	if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &used) != 0)
		return std::nullopt;
	return used.tv_sec + used.tv_nsec * 1e-9;
}


XServer*
XServer::Get(Size screen, std::string& why)
{
	struct Started {
		std::unique_ptr<XServer> server;
		std::string failure;
	};
	static std::map<std::pair<int32_t, int32_t>, Started> servers;
	Started& started = servers[std::make_pair(screen.width, screen.height)];
	if (!started.server && started.failure.empty()) {
		bool missing = false;
		std::unique_ptr<VirtualDisplay> display = VirtualDisplay::Start(started.failure,
			missing, screen.width, screen.height);
		if (display)
			started.server.reset(new XServer(std::move(display)));
	}
	why = started.failure;
	return started.server.get();
}


XServer::XServer(std::unique_ptr<VirtualDisplay> display)
	:
	fDisplay(std::move(display))
{
}


XServer::~XServer() = default;


const std::string&
XServer::Name() const
{
	return fDisplay->Name();
}


std::optional<double>
XServer::CpuSeconds() const
{
	return ProcessCpuSeconds(fDisplay->ServerId());
}
