// One monitor covered for --screensaver: a layer-shell overlay on it where
// the compositor offers layer-shell (above every window and panel, with the
// keyboard to itself), else a full-screen xdg-shell window on it (GNOME).
// An output of its own, which the run gives a saver of its own; the input
// that ends the run, and monitors coming and going, are WaylandScreens'
// to say. Frames are drawn on the compositor's call, as in the saver's own
// window (see WaylandOutput).
#ifndef SAVERHOST_SCREEN_MONITOR_H
#define SAVERHOST_SCREEN_MONITOR_H

#include <cstdint>
#include <memory>
#include <string>

#include "outputs/Output.h"
#include "outputs/pictures/WindowFont.h"
#include "outputs/pictures/WindowText.h"
#include "outputs/wayland/WaylandConnection.h"

class FrameSurface;
class SurfaceRole;

class ScreenMonitor : public Output {
public:
	// title: the full-screen window's, where there is no layer-shell.
	ScreenMonitor(WaylandConnection& connection, const WaylandConnection::Monitor& monitor,
		const std::string& title);
	~ScreenMonitor() override;

	// The monitor's wl_output global.
	uint32_t Name() const { return fName; }
	// The monitor went (its global, or the compositor closed the layer).
	void Went() { fMonitor = nullptr; }
	bool Gone() const;
	// The compositor asked to close the full-screen window: the user did.
	bool AskedToClose() const;
	// The next frame is due now: if the compositor has not called for it,
	// nobody sees this monitor.
	void FrameDue();
	// Told that nobody sees it, and called for since.
	bool BackInSight() const;

	Result<Size> Open(const Options& options) override;
	bool Paced() const override { return true; }
	std::optional<int32_t> DefaultFrames() const override { return std::nullopt; }
	std::optional<PixelTarget> LendPixels(Size size) override;
	Result<void> Present(const PixelView& frame, const Damage& damage) override;
	OutputEvents Poll() override;
	void ShowStats(const FrameStats& stats) override;

private:
	Size _Requested() const;
	void _Size();

	WaylandConnection& fConnection;
	uint32_t fName;
	const WaylandConnection::Monitor* fMonitor;
	bool fLayer;
	// Destroyed in the reverse order: the role before its surface.
	std::unique_ptr<FrameSurface> fSurface;
	std::unique_ptr<SurfaceRole> fRole;
	WindowFont fFont;
	SurfacePtr fStatsText;

	Size fAskedSize;
	Size fViewSize;
	int32_t fScale = 1;
	bool fOutOfSight = false;
};

#endif	// SAVERHOST_SCREEN_MONITOR_H
