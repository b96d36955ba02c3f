// Text for the windows, X's and Wayland's: a sans-serif font from the system,
// drawn with SDL_ttf onto SDL surfaces in memory (no SDL video needed).
#ifndef SAVERHOST_WINDOW_TEXT_H
#define SAVERHOST_WINDOW_TEXT_H

#include <memory>
#include <string>

#include "base/Result.h"

// SDL's types, declared as SDL declares them, so that this header needs none
// of SDL's.
struct SDL_Color;
struct SDL_Rect;
struct SDL_Surface;
struct _TTF_Font;

struct SurfaceFreer {
	void operator()(SDL_Surface* surface) const;
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceFreer>;

class SansFont {
	struct Token {
		explicit Token() = default;
	};

public:
	// A sans-serif font at a size in pixels: the one fontconfig matches to
	// "sans", else DejaVu Sans where Debian and others install it; or why
	// there is none.
	static Result<std::unique_ptr<SansFont>> Load(int pixelSize);

	SansFont(Token, _TTF_Font* font);
	~SansFont();

	SansFont(const SansFont&) = delete;
	SansFont& operator=(const SansFont&) = delete;

	// From the top of the tallest letter to the bottom of the lowest.
	int LineHeight() const;

	// The text as anti-aliased pixels over a transparent background; wrapped
	// into centred lines at most wrapWidth wide when wrapWidth is above 0.
	// None for an empty text.
	SurfacePtr Render(const std::string& text, const SDL_Color& color,
		int wrapWidth = 0) const;

private:
	_TTF_Font* fFont;
};

// Blends rendered text onto target with its top-left corner at (x, y),
// touching no pixel outside clip.
void BlendText(SDL_Surface* target, SDL_Surface* text, int x, int y, const SDL_Rect& clip);

#endif	// SAVERHOST_WINDOW_TEXT_H
