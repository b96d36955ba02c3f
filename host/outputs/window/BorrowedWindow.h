// An X window that another program made and hands over by id (--window-id,
// XSCREENSAVER_WINDOW), or the root window (--root): a screen-saver
// daemon's or a locker's window. Its owner decides when the run ends, with
// a signal or by destroying the window; the user's input means nothing here.
#ifndef SAVERHOST_BORROWED_WINDOW_H
#define SAVERHOST_BORROWED_WINDOW_H

#include <optional>

#include "base/Result.h"
#include "outputs/window/SaverWindow.h"
#include "outputs/window/XErrorWatch.h"

class BorrowedWindow : public SaverWindow {
	struct Token {
		explicit Token() = default;
	};

public:
	// The window with the id, or without one the root window, on the display
	// SDL runs on; errors about it are caught by errors, which must outlive
	// the window.
	static Result<std::unique_ptr<BorrowedWindow>> Open(std::optional<unsigned long> id,
		XErrorWatch& errors);

	BorrowedWindow(Token, WindowPtr window, XErrorWatch& errors);

	// The owner has put it on the screen already.
	void Show() override {}
	bool AsksToStop(const SDL_Event& event) override;
	bool Gone() override;
	bool HasTitle() const override { return false; }

private:
	XErrorWatch& fErrors;
	bool fGoneReported = false;
};

#endif	// SAVERHOST_BORROWED_WINDOW_H
