// The frames in a window on the X display, through SDL: the saver's own window
// (or the whole screen with --fullscreen), or an X window someone else made
// and handed over by id, such as a screen-saver daemon's or the root window.
//
// The saver's present lands straight in the window's framebuffer (on X, a
// shared-memory image the X server reads itself), so a frame is copied once
// on its way to the screen, and only the rectangles it changed are sent to
// the display; the whole picture goes after the window was exposed, mapped
// again or resized, and with the first frame. Lent pixels stay readable until
// the next LendPixels() and as long as the output exists.
//
// While the window is minimized or unmapped, or the monitor sleeps, the
// events say that nobody can see it, and the host draws no frames.
#ifndef SAVERHOST_WINDOW_OUTPUT_H
#define SAVERHOST_WINDOW_OUTPUT_H

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "outputs/Output.h"
#include "outputs/window/SaverWindow.h"
#include "outputs/pictures/WindowFont.h"
#include "outputs/pictures/WindowText.h"

class EventWait;
class MonitorPower;
class VideoSession;
class XErrorWatch;

class WindowOutput : public Output {
public:
	WindowOutput();
	// Frames in a window made elsewhere, on a video session and an X error
	// watch that outlive the output (one monitor's of X11Screens): whoever
	// made it reads SDL's events and hands the output those it must see.
	explicit WindowOutput(std::unique_ptr<SaverWindow> window);
	~WindowOutput() override;

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

	// A window made elsewhere: an event of SDL's for it, as Poll() would
	// have read it.
	void Take(const SDL_Event& event) { _Handle(event); }
	// Events wait that the host must act on at once: a quit, a resize.
	bool Pending();

private:
	Size _Opened(const Options& options);
	void _Show();
	SDL_Surface* _Framebuffer();
	bool _Lendable(const SDL_Surface* framebuffer, Size size) const;
	void _Copy(const PixelView& frame, SDL_Surface* framebuffer);
	bool _Update(const Damage& damage);
	void _DrawOverlay(SDL_Surface* framebuffer);

	void _Handle(const SDL_Event& event);
	OutputEvents _TakeEvents();
	bool _WindowGone();
	bool _OutOfSight();
	int _WaitMilliseconds(std::chrono::steady_clock::time_point deadline);

	// Destroyed in the reverse order: the window before SDL's video, which
	// goes before the X error watch.
	std::unique_ptr<XErrorWatch> fErrors;
	std::unique_ptr<VideoSession> fVideo;
	std::unique_ptr<SaverWindow> fWindow;
	std::unique_ptr<MonitorPower> fMonitor;
	std::unique_ptr<EventWait> fEventWait;
	WindowFont fFont;
	SurfacePtr fStatsText;

	// The add-on's name, for titles.
	std::string fName;
	bool fShown = false;
	bool fStatsOverlay = false;
	// The window was made elsewhere, and its events come through Take().
	bool fMadeElsewhere = false;

	// The framebuffer as last seen, to clear a new one to black.
	const void* fFramebufferPixels = nullptr;
	Size fFramebufferSize;
	// The pixels lent for the current frame, if any.
	uint8_t* fLent = nullptr;
	// Something other than the saver's present may have written the
	// framebuffer since it was last lent: it was cleared, a frame was copied
	// or text drawn into it, or SDL may have made a new one, perhaps at the
	// same address.
	bool fFramebufferTouched = true;
	// The display may show something other than the framebuffer: the next
	// frame goes whole.
	bool fSendWhole = true;
	std::vector<SDL_Rect> fUpdateRects;
	// Whether the host was last told that nobody can see the window.
	bool fToldOutOfSight = false;

	// The view size the host was last told of.
	Size fViewSize;
	OutputEvents fPending;
};

#endif	// SAVERHOST_WINDOW_OUTPUT_H
