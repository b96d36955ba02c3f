// Where the frames go. Each output owns its resources (window, terminal state,
// files) and releases them in its destructor; one folder each.
#ifndef SAVERHOST_OUTPUT_H
#define SAVERHOST_OUTPUT_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Damage.h"
#include "base/PixelView.h"
#include "base/Result.h"
#include "base/Size.h"
#include "base/FrameStats.h"
#include "base/Options.h"
#include "base/PixelTarget.h"
#include "base/SettingsPanel.h"

// What happened at the output since the last look.
struct OutputEvents {
	// The user asked to stop: a key, a click or a mouse move in the saver's own
	// window, q or Esc in the terminal, the window closed.
	bool quit = false;
	// The saver's view should have this size from now on; the host stops the
	// saver and starts it again on a view of the new size.
	std::optional<Size> resized;
	// Nobody can see the frames now (a minimized or unmapped window, a
	// monitor asleep): the host draws none until the events say otherwise,
	// then goes on at the next tick on its grid.
	bool outOfSight = false;
};

class Output {
public:
	virtual ~Output() = default;

	// Starts the output: the size the saver's full-screen view should have,
	// or an error the user can act on.
	virtual Result<Size> Open(const Options& options) = 0;

	// Ticks at the saver's period (someone is watching), or back to back.
	virtual bool Paced() const = 0;
	// The ticks to run when --frames is not given; none for "until the user
	// stops it".
	virtual std::optional<int32_t> DefaultFrames() const = 0;

	// Memory for the next frame's pixels, of the view's size, or none to let
	// the host draw into its own. Called before every Draw().
	virtual std::optional<PixelTarget> LendPixels(Size) { return std::nullopt; }
	// Shows one frame: frame is where the saver's view now holds its pixels,
	// and damage what changed in them since the frame before (everything
	// when they are new). An output that keeps what it showed updates only
	// that.
	virtual Result<void> Present(const PixelView& frame, const Damage& damage) = 0;
	// Events since the last call; called once per tick.
	virtual OutputEvents Poll() { return {}; }
	// Waits until deadline on the monotonic clock, or until something happens
	// that the host must act on at once (a quit, a resize, the frames going
	// out of sight or coming back, a signal), and gives the events. By
	// default it sleeps, then polls.
	virtual OutputEvents WaitUntil(std::chrono::steady_clock::time_point deadline);

	// The saver's tick period, once it has started and again whenever it
	// asks for another: a recording takes its frame rate from it.
	virtual void TickPeriod(std::chrono::microseconds) {}

	// --fps: shown in the window title, an overlay or a status line.
	virtual void ShowStats(const FrameStats&) {}
	// A word from the host to whoever watches, such as a declined preview:
	// shown where the saver's picture would be for kNoticeTime, or until the
	// user ends it sooner. By default it is said on standard error.
	virtual void ShowNotice(const std::string& text);
	// --config: the settings panel as the saver filled it. By default the
	// views are listed on standard output, one a line.
	virtual Result<void> ShowSettings(const SettingsPanel& panel);

	// The run ended normally: complete what was written (a video's trailer).
	// An output destroyed without Finish() leaves no partial file behind.
	virtual Result<void> Finish() { return {}; }
};

// How long a window or the terminal shows a notice when nobody dismisses it.
constexpr std::chrono::seconds kNoticeTime{3};

#endif	// SAVERHOST_OUTPUT_H
