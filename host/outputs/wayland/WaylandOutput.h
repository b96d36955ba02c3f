// The frames in a window of the saver's own on the Wayland compositor that
// WAYLAND_DISPLAY names, natively: an xdg-shell toplevel, or the whole
// monitor with --fullscreen, that follows the size the compositor gives it.
// Here the saver is a screen saver: a key or a button pressed, the wheel,
// a finger, or the pointer moved over the window ends the run, and so does
// the window closed. Keys are not looked up (see SeatInput).
//
// The saver's present lands in the window's shared-memory buffer, and only
// the rectangles it changed are sent (see FrameSurface). Frames are drawn on
// the compositor's call: while it does not call for the next one (the
// window hidden, on a workspace not shown, the monitor off), the events say
// that nobody can see it, and the host draws none.
#ifndef SAVERHOST_WAYLAND_OUTPUT_H
#define SAVERHOST_WAYLAND_OUTPUT_H

#include <chrono>
#include <memory>
#include <string>

#include "outputs/Output.h"
#include "outputs/pictures/WindowFont.h"
#include "outputs/pictures/WindowText.h"

class FrameSurface;
class ToplevelRole;
class WaylandConnection;

class WaylandOutput : public Output {
public:
	WaylandOutput();
	~WaylandOutput() override;

	Result<Size> Open(const Options& options) override;
	bool Paced() const override { return true; }
	std::optional<int32_t> DefaultFrames() const override { return std::nullopt; }

	std::optional<PixelTarget> LendPixels(Size size) override;
	Result<void> Present(const PixelView& frame, const Damage& damage) override;
	OutputEvents Poll() override;
	OutputEvents WaitUntil(std::chrono::steady_clock::time_point deadline) override;

	void ShowStats(const FrameStats& stats) override;
	void ShowNotice(const std::string& text) override;
	Result<void> ShowSettings(const SettingsPanel& panel) override;

private:
	Size _Configured() const;
	bool _Pending() const;
	OutputEvents _TakeEvents();
	void _Shown(bool wasShown);

	// Destroyed in the reverse order: the window, its surface, then the
	// connection they were made on.
	std::unique_ptr<WaylandConnection> fConnection;
	std::unique_ptr<FrameSurface> fSurface;
	std::unique_ptr<ToplevelRole> fWindow;
	WindowFont fFont;
	SurfacePtr fStatsText;

	// The title: the add-on's name.
	std::string fName;
	bool fFullscreen = false;
	bool fStatsOverlay = false;
	// The window's size before the compositor chose one.
	Size fAskedSize;
	// The view size the host was last told of.
	Size fViewSize;
	// A frame was due while the compositor had not called for it.
	bool fOutOfSight = false;
};

#endif	// SAVERHOST_WAYLAND_OUTPUT_H
