// The windows' font, loaded when text is first drawn and kept.
#ifndef SAVERHOST_WINDOW_FONT_H
#define SAVERHOST_WINDOW_FONT_H

#include <memory>
#include <string>

#include "base/Result.h"
#include "outputs/pictures/WindowText.h"

class WindowFont {
public:
	// The font, or why it cannot be had (asked once).
	Result<SansFont*> Get();
	// The font for text that is only an extra (a notice's, the --fps
	// figures): without one, why is said once on standard error, and the
	// text is left out.
	SansFont* ForExtra();

private:
	std::unique_ptr<SansFont> fFont;
	std::string fError;
	bool fReported = false;
};

#endif	// SAVERHOST_WINDOW_FONT_H
