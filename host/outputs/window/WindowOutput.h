// The frames in a window on the display, through SDL: the saver's own window
// (or the whole screen with --fullscreen), or an X window someone else made
// and handed over by id, such as a screen-saver daemon's or the root window.
//
// The saver's present lands straight in the window's framebuffer (on X, a
// shared-memory image the X server reads itself), so a frame is copied once
// on its way to the screen. Lent pixels stay readable until the next
// LendPixels() and as long as the output exists.
#ifndef SAVERHOST_WINDOW_OUTPUT_H
#define SAVERHOST_WINDOW_OUTPUT_H

#include <chrono>
#include <memory>
#include <string>

#include "outputs/Output.h"
#include "outputs/window/WindowText.h"

struct SDL_Window;
union SDL_Event;

class WindowOutput : public Output {
public:
	WindowOutput();
	~WindowOutput() override;

	Result<Size> Open(const Options& options) override;
	bool Paced() const override { return true; }
	std::optional<int32_t> DefaultFrames() const override { return std::nullopt; }

	std::optional<PixelTarget> LendPixels(Size size) override;
	Result<void> Present(const PixelView& frame) override;
	OutputEvents Poll() override;
	OutputEvents WaitUntil(std::chrono::steady_clock::time_point deadline) override;

	void ShowStats(const FrameStats& stats) override;
	void ShowNotice(const std::string& text) override;
	Result<void> ShowSettings(const SettingsPanel& panel) override;

	// Pointer motion this soon after the saver's own window appears comes
	// from the window appearing, not from the user.
	static constexpr std::chrono::milliseconds kSettleTime{500};
	// Pointer motion less than this far from where the pointer was first
	// seen is jitter, not the user.
	static constexpr int kJitterPixels = 3;
	// How long a notice stays when nobody dismisses it.
	static constexpr std::chrono::seconds kNoticeTime{3};

private:
	class VideoSession;
	class XErrorWatch;
	struct WindowCloser {
		void operator()(SDL_Window* window) const;
	};
	using WindowPtr = std::unique_ptr<SDL_Window, WindowCloser>;

	Result<void> OpenBorrowed(std::optional<unsigned long> id, const std::string& display);
	Result<void> OpenOwn(const Options& options);

	void Show();
	SDL_Surface* Framebuffer();
	bool Lendable(const SDL_Surface* framebuffer, Size size) const;
	void Copy(const PixelView& frame, SDL_Surface* framebuffer);
	void DrawStatsOverlay(SDL_Surface* framebuffer);
	Result<SansFont*> LoadedFont();

	void ReportFontError();
	void Handle(const SDL_Event& event);
	void HandleMotion(int x, int y);
	OutputEvents TakeEvents();
	bool WindowGone();

	std::unique_ptr<XErrorWatch> fErrors;
	std::unique_ptr<VideoSession> fVideo;
	WindowPtr fWindow;
	std::unique_ptr<SansFont> fFont;
	// Why there is no font, once that is known; said once on standard error
	// where text is only an extra.
	std::string fFontError;
	bool fFontReported = false;

	std::string fName;
	bool fBorrowed = false;
	bool fFullscreen = false;
	bool fShown = false;
	bool fStatsOverlay = false;

	// The framebuffer as last seen, to clear a new one to black.
	const void* fFramebufferPixels = nullptr;
	Size fFramebufferSize;
	// The pixels lent for the current frame, if any.
	uint8_t* fLent = nullptr;

	// The view size the host was last told of.
	Size fViewSize;
	OutputEvents fPending;
	bool fGoneReported = false;

	// When the own window appeared, and where on the screen the pointer was
	// while it settled, or first seen after.
	std::chrono::steady_clock::time_point fShownAt;
	bool fPointerSeen = false;
	int fPointerX = 0;
	int fPointerY = 0;

	SurfacePtr fStatsText;
};

#endif	// SAVERHOST_WINDOW_OUTPUT_H
