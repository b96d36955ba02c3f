// What a window shows besides the saver's frames: the settings panel, the
// host's notices and the --fps overlay, drawn on SDL surfaces: X's window
// framebuffer, or a Wayland shared-memory buffer wrapped as one.
#ifndef SAVERHOST_WINDOW_PICTURES_H
#define SAVERHOST_WINDOW_PICTURES_H

#include <string>

#include <SDL.h>

#include "base/SettingsPanel.h"
#include "outputs/pictures/WindowText.h"

// Text on the settings panel, notices and the --fps overlay.
constexpr int kTextPixels = 12;

// color in the surface's pixel format.
Uint32 Mapped(const SDL_Surface* surface, SDL_Color color);

// The settings panel as the platform's host shows it, in the target's top-left
// corner at the panel's size: a grey panel, and each string view's text in
// black at its frame, from its left edge and centred top to bottom, clipped to
// the frame and the panel.
void DrawPanel(SDL_Surface* target, const SettingsPanel& panel, const SansFont& font);

// The strip below the settings panel that says how to close it.
constexpr int kSettingsHintHeight = 24;
void DrawSettingsHint(SDL_Surface* target, int top, const SansFont& font);

// A notice where the saver's picture would be: the preview's shape, scaled by
// the largest whole number that fits, with the text inside; without a font,
// the shape alone.
void DrawNotice(SDL_Surface* target, const std::string& text, const SansFont* font);

// The --fps figures in the top-left corner, on black, within
// StatsOverlayBox(text).
void DrawStatsOverlay(SDL_Surface* target, SDL_Surface* text);
SDL_Rect StatsOverlayBox(const SDL_Surface* text);

// The --fps figures as the overlay shows them.
SurfacePtr RenderStats(const SansFont& font, const std::string& text);

#endif	// SAVERHOST_WINDOW_PICTURES_H
