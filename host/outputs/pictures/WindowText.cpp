#include "outputs/pictures/WindowText.h"

#include <sys/stat.h>

#include <cstdio>
#include <vector>

#include <SDL.h>
#include <SDL_ttf.h>


namespace {

// Where DejaVu Sans lives on Debian (fonts-dejavu-core) and on the other
// common layouts.
const char* const kKnownFonts[] = {
	"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
	"/usr/share/fonts/TTF/DejaVuSans.ttf",
	"/usr/share/fonts/dejavu/DejaVuSans.ttf",
	"/usr/share/fonts/dejavu-sans-fonts/DejaVuSans.ttf",
};


bool
IsRegularFile(const std::string& path)
{
	struct stat info;
	return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}


// What fontconfig picks for "sans", or empty where fc-match is missing or
// finds nothing.
std::string
FontconfigSans()
{
	std::FILE* pipe = popen("fc-match -f '%{file}' sans 2>/dev/null", "r");
	if (pipe == nullptr)
		return "";
	std::string path;
	char buffer[256];
	size_t got;
	while ((got = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0)
		path.append(buffer, got);
	pclose(pipe);
	return path;
}


// The fonts to try, best first, each once.
std::vector<std::string>
FontCandidates()
{
	std::vector<std::string> candidates;
	std::string matched = FontconfigSans();
	if (IsRegularFile(matched))
		candidates.push_back(matched);
	for (const char* known : kKnownFonts) {
		if (known != matched && IsRegularFile(known))
			candidates.push_back(known);
	}
	return candidates;
}


const char* const kNoFont = "no font to draw text with: install fonts-dejavu-core "
	"(fc-match found no sans font, and there is no "
	"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf)";

}	// namespace


void
SurfaceFreer::operator()(SDL_Surface* surface) const
{
	SDL_FreeSurface(surface);
}


SansFont::SansFont(Token, TTF_Font* font)
	:
	fFont(font)
{
}


SansFont::~SansFont()
{
	TTF_CloseFont(fFont);
	TTF_Quit();
}


Result<std::unique_ptr<SansFont>>
SansFont::Load(int pixelSize)
{
	std::vector<std::string> candidates = FontCandidates();
	if (candidates.empty())
		return Error{kNoFont};

	// Counted: every TTF_Init() is matched by the TTF_Quit() of the font
	// that follows it, or just below.
	if (TTF_Init() != 0)
		return Error{std::string("cannot start the font renderer: ") + TTF_GetError()};
	std::string reasons;
	for (const std::string& path : candidates) {
		// At 72 dots per inch, points are pixels.
		if (TTF_Font* font = TTF_OpenFont(path.c_str(), pixelSize)) {
			return Result<std::unique_ptr<SansFont>>(std::make_unique<SansFont>(Token{}, font));
		}
		reasons += (reasons.empty() ? "" : "; ") + path + ": " + TTF_GetError();
	}
	TTF_Quit();
	return Error{"cannot load a font to draw text with (" + reasons + ")"};
}


int
SansFont::LineHeight() const
{
	return TTF_FontHeight(fFont);
}


SurfacePtr
SansFont::Render(const std::string& text, const SDL_Color& color, int wrapWidth) const
{
	if (text.empty())
		return nullptr;
	if (wrapWidth <= 0)
		return SurfacePtr(TTF_RenderUTF8_Blended(fFont, text.c_str(), color));
	TTF_SetFontWrappedAlign(fFont, TTF_WRAPPED_ALIGN_CENTER);
	return SurfacePtr(TTF_RenderUTF8_Blended_Wrapped(fFont, text.c_str(), color,
		static_cast<Uint32>(wrapWidth)));
}


void
BlendText(SDL_Surface* target, SDL_Surface* text, int x, int y, const SDL_Rect& clip)
{
	if (target == nullptr || text == nullptr)
		return;
	SDL_Rect previous;
	SDL_GetClipRect(target, &previous);
	SDL_SetClipRect(target, &clip);
	SDL_SetSurfaceBlendMode(text, SDL_BLENDMODE_BLEND);
	SDL_Rect where{x, y, text->w, text->h};
	SDL_BlitSurface(text, nullptr, target, &where);
	SDL_SetClipRect(target, &previous);
}
