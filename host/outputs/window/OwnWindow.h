// The saver's own window, or the whole screen with --fullscreen. Here the
// saver is a screen saver: the user's first touch (a key, a click, the
// wheel, a finger, the pointer moved, the window closed) ends the run. So
// does the window destroyed by another program, as xdotool windowclose does.
#ifndef SAVERHOST_OWN_WINDOW_H
#define SAVERHOST_OWN_WINDOW_H

#include <chrono>

#include "base/Damage.h"
#include "base/Result.h"
#include "base/Size.h"
#include "outputs/window/SaverWindow.h"
#include "outputs/window/XErrorWatch.h"

class OwnWindow : public SaverWindow {
	struct Token {
		explicit Token() = default;
	};

public:
	// A hidden window titled title: of the given size, or filling the screen.
	// On X, errors about it are caught by errors, which must outlive the
	// window.
	static Result<std::unique_ptr<OwnWindow>> Open(const std::string& title, Size size,
		bool fullscreen, XErrorWatch& errors);
	// A hidden borderless window over one monitor's rectangle of the X
	// screen, above every other window: override-redirect, so that no
	// window manager places it, frames it or stacks a window over it.
	static Result<std::unique_ptr<OwnWindow>> Cover(const std::string& title,
		const PixelRect& monitor, XErrorWatch& errors);

	OwnWindow(Token, WindowPtr window, const std::string& title, bool fullscreen,
		XErrorWatch& errors);

	void Show() override;
	bool AsksToStop(const SDL_Event& event) override;
	// Destroyed from outside: closed, as far as the run goes.
	bool Gone() override { return fErrors.Gone(); }
	// Hidden before its first picture on purpose, which is no reason to wait.
	bool OutOfSight() const override { return fShown && SaverWindow::OutOfSight(); }
	bool HasTitle() const override { return !fFullscreen; }
	void ShowInTitle(const std::string& text) override;

	// Pointer motion this soon after the window appears comes from the
	// window appearing, not from the user.
	static constexpr std::chrono::milliseconds kSettleTime{500};
	// Pointer motion less than this far from where the pointer was first
	// seen is jitter, not the user.
	static constexpr int kJitterPixels = 3;

private:
	bool _PointerMoved(int x, int y);

	std::string fTitle;
	bool fFullscreen;
	XErrorWatch& fErrors;
	bool fShown = false;
	// When the window appeared, and where on the screen the pointer was
	// while it settled, or first seen after.
	std::chrono::steady_clock::time_point fShownAt;
	bool fPointerSeen = false;
	int fPointerX = 0;
	int fPointerY = 0;
};

#endif	// SAVERHOST_OWN_WINDOW_H
