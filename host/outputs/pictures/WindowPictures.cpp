#include "outputs/pictures/WindowPictures.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/ViewSizes.h"


namespace {

// The platform's panel grey and its labels' black.
constexpr SDL_Color kPanelGrey{216, 216, 216, 255};
constexpr SDL_Color kLabelBlack{0, 0, 0, 255};
constexpr SDL_Color kNoticeGrey{48, 48, 48, 255};
constexpr SDL_Color kNoticeText{232, 232, 232, 255};
constexpr SDL_Color kStatsText{255, 255, 255, 255};
constexpr SDL_Color kBlack{0, 0, 0, 255};


// A view's frame in window pixels: edges are inclusive, so (10, 10, 200, 35)
// covers 191 x 26 pixels from (10, 10). Coordinates beyond any window are
// held at a million, NaN at zero, so that the sums stay in int.
SDL_Rect
WindowRect(const BRect& frame, SDL_Point origin)
{
	auto pixel = [](float coordinate) {
		if (!(coordinate == coordinate))
			return 0;
		return static_cast<int>(std::floor(std::clamp(coordinate, -1e6f, 1e6f)));
	};
	int left = origin.x + pixel(frame.left);
	int top = origin.y + pixel(frame.top);
	int right = origin.x + pixel(frame.right);
	int bottom = origin.y + pixel(frame.bottom);
	return SDL_Rect{left, top, std::max(0, right - left + 1), std::max(0, bottom - top + 1)};
}

}	// namespace


Uint32
Mapped(const SDL_Surface* surface, SDL_Color color)
{
	return SDL_MapRGB(surface->format, color.r, color.g, color.b);
}


void
DrawPanel(SDL_Surface* target, const SettingsPanel& panel, const SansFont& font)
{
	SDL_Rect area{0, 0, panel.size.width, panel.size.height};
	SDL_FillRect(target, &area, Mapped(target, kPanelGrey));

	// The window position of each depth's parent: items come in drawing
	// order, each followed by its children.
	std::vector<SDL_Point> origins{{0, 0}};
	for (const SettingsItem& item : panel.items) {
		size_t depth = static_cast<size_t>(std::max(item.depth, 0));
		origins.resize(depth + 1, origins.back());
		SDL_Rect frame = WindowRect(item.frame, origins[depth]);
		origins.push_back(SDL_Point{frame.x, frame.y});

		if (!item.hasText)
			continue;
		SurfacePtr text = font.Render(item.text, kLabelBlack);
		SDL_Rect clip;
		if (!text || !SDL_IntersectRect(&frame, &area, &clip))
			continue;
		BlendText(target, text.get(), frame.x, frame.y + (frame.h - font.LineHeight()) / 2,
			clip);
	}
}


void
DrawSettingsHint(SDL_Surface* target, int top, const SansFont& font)
{
	SDL_Rect strip{0, top, target->w, kSettingsHintHeight};
	SDL_FillRect(target, &strip, Mapped(target, kNoticeGrey));
	SurfacePtr text = font.Render("a key or a click closes the settings", kNoticeText);
	if (!text)
		return;
	BlendText(target, text.get(), (target->w - text->w) / 2,
		top + (kSettingsHintHeight - font.LineHeight()) / 2, strip);
}


void
DrawNotice(SDL_Surface* target, const std::string& text, const SansFont* font)
{
	SDL_FillRect(target, nullptr, Mapped(target, kBlack));
	int scale = std::max(1, std::min(target->w / kPreviewSize.width,
		target->h / kPreviewSize.height));
	SDL_Rect area{0, 0, kPreviewSize.width * scale, kPreviewSize.height * scale};
	area.x = (target->w - area.w) / 2;
	area.y = (target->h - area.h) / 2;
	SDL_FillRect(target, &area, Mapped(target, kNoticeGrey));
	if (font == nullptr)
		return;

	SurfacePtr rendered = font->Render(text, kNoticeText, std::max(1, area.w - 16));
	if (!rendered)
		return;
	BlendText(target, rendered.get(), area.x + (area.w - rendered->w) / 2,
		area.y + (area.h - rendered->h) / 2, area);
}


SDL_Rect
StatsOverlayBox(const SDL_Surface* text)
{
	return SDL_Rect{4, 4, text->w + 8, text->h + 4};
}


void
DrawStatsOverlay(SDL_Surface* target, SDL_Surface* text)
{
	SDL_Rect box = StatsOverlayBox(text);
	SDL_FillRect(target, &box, Mapped(target, kBlack));
	BlendText(target, text, box.x + 4, box.y + 2, box);
}


SurfacePtr
RenderStats(const SansFont& font, const std::string& text)
{
	return font.Render(text, kStatsText);
}
