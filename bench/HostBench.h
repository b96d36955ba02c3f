// What the benchmarks of saverhost's outputs share: the Dustglow saver
// drawing into a view whose pixels the host owns, as saverhost runs it, the
// yardstick every output is measured against, one memcpy of a 1920x1080
// canvas ("Memcpy/1920x1080"), and X servers of the benchmarks' own.
#ifndef DUSTGLOW_BENCH_HOST_BENCH_H
#define DUSTGLOW_BENCH_HOST_BENCH_H

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <Bitmap.h>
#include <Message.h>

#include "Dustglow.h"
#include "base/Damage.h"
#include "base/PixelView.h"
#include "base/Size.h"
#include "run/Surface.h"

class VirtualDisplay;

// The size of a full-HD screen, which the outputs are measured at.
constexpr Size kFullHd{1920, 1080};

// The add-on's own class started on a host surface as saverhost starts it,
// with the clock it seeds from pinned and its uniform generator in a fixed
// state, so that every run of the benchmarks sees the same pictures.
class SaverRun {
public:
	explicit SaverRun(Size size);
	~SaverRun();

	SaverRun(const SaverRun&) = delete;
	SaverRun& operator=(const SaverRun&) = delete;

	// One tick: the saver's Draw(), which ends in its present into the view.
	void Draw();

	// The view's pixels, rows of exactly 4 x width bytes.
	PixelView Pixels() const { return fSurface->Pixels(); }
	// What the draws since the last call changed in them.
	const Damage& TakeDamage() { return fSurface->TakeDamage(); }
	const BBitmap* Canvas() const { return fSaver->CanvasBitmap(); }
	Size Dimensions() const { return fSurface->Dimensions(); }

private:
	BMessage fArchive;
	std::unique_ptr<Surface> fSurface;
	std::unique_ptr<Dustglow> fSaver;
	int32_t fFrame = 0;
};

// Ticks a run has drawn before its pictures are taken: ten seconds of the
// saver, long after its seeded start.
constexpr int kWarmTicks = 250;

// Two frames in a row of a run at the size that has drawn kWarmTicks, and
// the saver's canvas as it was at the second; made on first use and kept
// for the life of the process.
struct SaverFrames {
	Size size;
	std::vector<uint8_t> first;
	std::vector<uint8_t> second;
	const BBitmap* canvas = nullptr;

	PixelView First() const { return View(first); }
	PixelView Second() const { return View(second); }
	size_t Bytes() const { return first.size(); }

private:
	PixelView View(const std::vector<uint8_t>& bits) const
	{
		return PixelView{bits.data(), static_cast<size_t>(size.width) * 4, size.width,
			size.height};
	}
};

const SaverFrames& FramesAt(Size size);

// The damage between the two frames of a size, as the present notes it when
// one follows the other.
const Damage& DamageBetween(const SaverFrames& frames);


// An X server of the benchmarks' own: the tests' Xvfb (VirtualDisplay.h) with
// one screen of the size, on a display number it finds free; started on first
// use and stopped as the process ends, or with it.
class XServer {
public:
	// The server for the size, or none with the reason in why.
	static XServer* Get(Size screen, std::string& why);

	~XServer();

	XServer(const XServer&) = delete;
	XServer& operator=(const XServer&) = delete;

	// As DISPLAY names it: ":N".
	const std::string& Name() const;
	// The CPU time the server has used so far, all its threads together.
	std::optional<double> CpuSeconds() const;
	VirtualDisplay& Display() const { return *fDisplay; }

private:
	explicit XServer(std::unique_ptr<VirtualDisplay> display);

	std::unique_ptr<VirtualDisplay> fDisplay;
};

// The CPU time a process has used so far, all its threads together.
std::optional<double> ProcessCpuSeconds(pid_t pid);

#endif	// DUSTGLOW_BENCH_HOST_BENCH_H
