// The page's host reaches the saver through these functions: the C++ side of
// web/js/saver-module.js. They do for the page what host/ does for saverhost,
// with saverhost's own code where there is some: the view with its pixels
// and the damage its presents note (Surface), the frame's fingerprint
// (FrameDigest), the settings panel as --config lists it (ShowSettings) and
// the views' sizes (ViewSizes.h). What is the page's own: the picture for
// the <canvas>, brought up to date where the view changed.
// The saver itself is made by the add-on's own instantiate_screen_saver,
// which the module exports and the page calls.
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include <ScreenSaver.h>
#include <View.h>

#include <ViewSurface.h>

#include "base/Damage.h"
#include "base/Digest.h"
#include "base/ViewSizes.h"
#include "run/ShowSettings.h"
#include "run/Surface.h"


#define WEB_EXPORT(name) extern "C" __attribute__((export_name(name), used))


namespace {

struct Freer {
	void operator()(void* block) const { free(block); }
};

// A view with the pixels the host lends it, and the picture of them that
// the page puts on its canvas: the same pixels as a canvas's ImageData takes
// them, four bytes each (red, green, blue, alpha), rows of width * 4 bytes.
struct WebView {
	std::unique_ptr<Surface>		surface;
	std::unique_ptr<uint8, Freer>	picture;
	// What the last update changed in the picture.
	std::vector<PixelRect>			changed;
};


// The view's pixels within rect into the picture: red, green, blue and an
// opaque alpha, since the fourth byte of a B_RGB32 pixel is not alpha.
void
ConvertRect(const PixelView& pixels, uint8* picture, const PixelRect& rect)
{
	size_t pictureBytesPerRow = (size_t)pixels.width * 4;
	for (int32 y = rect.y; y < rect.y + rect.height; y++) {
		const uint32* from = (const uint32*)pixels.Row(y) + rect.x;
		uint32* to = (uint32*)(picture + y * pictureBytesPerRow) + rect.x;
		for (int32 x = 0; x < rect.width; x++) {
			// Little-endian words: B_RGB32's 0xXXRRGGBB becomes 0xFFBBGGRR.
			uint32 pixel = from[x];
			to[x] = 0xFF000000u | (pixel & 0x0000FF00u) | ((pixel >> 16) & 0xFFu)
				| ((pixel & 0xFFu) << 16);
		}
	}
}

}	// namespace


// #pragma mark - memory


WEB_EXPORT("dg_alloc") void*
dg_alloc(uint32 size)
{
	return malloc(size);
}


WEB_EXPORT("dg_free") void
dg_free(void* block)
{
	free(block);
}


// The saver's state: none kept, so an empty message, which the saver may
// hold on to as long as it lives.
WEB_EXPORT("dg_message_new") BMessage*
dg_message_new()
{
	return new BMessage;
}


WEB_EXPORT("dg_message_delete") void
dg_message_delete(BMessage* message)
{
	delete message;
}


// The sizes both hosts give views, five numbers: the largest side of a
// full-screen view, the preview's width and height, and the settings
// panel's.
WEB_EXPORT("dg_view_sizes") const int32*
dg_view_sizes()
{
	static const int32 sizes[] = { kMaxViewSide, kPreviewSize.width, kPreviewSize.height,
		kSettingsSize.width, kSettingsSize.height };
	return sizes;
}


// #pragma mark - views


// A view of width x height black pixels, named "preview" or "saver", and
// its picture; NULL when the memory for them cannot be had.
WEB_EXPORT("dg_view_new") WebView*
dg_view_new(int32 width, int32 height, int32 preview)
{
	Result<std::unique_ptr<Surface>> surface = Surface::Create(Size{width, height},
		preview ? "preview" : "saver");
	if (!surface || (uint64)width * 4 * height > SIZE_MAX)
		return NULL;
	std::unique_ptr<uint8, Freer> picture((uint8*)malloc((size_t)width * 4 * height));
	if (!picture)
		return NULL;
	return new WebView{std::move(surface.Value()), std::move(picture), {}};
}


WEB_EXPORT("dg_view_delete") void
dg_view_delete(WebView* web)
{
	delete web;
}


// The DrawBitmap() calls the view has had: a saver that draws nothing
// leaves it at 0.
WEB_EXPORT("dg_view_draw_count") int32
dg_view_draw_count(const WebView* web)
{
	return BPrivate::ViewSurface::DrawCount(web->surface->View());
}


// saverhost --digest's fingerprint of the view's pixels, as 16 hexadecimal
// digits: valid until the next call.
WEB_EXPORT("dg_view_digest") const char*
dg_view_digest(const WebView* web)
{
	static std::string text;
	text = FormatDigest(FrameDigest(web->surface->Pixels()));
	return text.c_str();
}


// Brings the picture up to date with the view: all of it the first time,
// then only the rectangles in which the saver's presents have changed a
// pixel since. Returns how many rectangles changed; dg_view_changed() gives
// them.
WEB_EXPORT("dg_view_update_picture") int32
dg_view_update_picture(WebView* web)
{
	const Damage& damage = web->surface->TakeDamage();
	PixelView pixels = web->surface->Pixels();
	web->changed.clear();
	if (damage.Whole())
		web->changed.push_back(PixelRect{0, 0, pixels.width, pixels.height});
	else
		web->changed.assign(damage.Rects().begin(), damage.Rects().end());
	for (const PixelRect& rect : web->changed)
		ConvertRect(pixels, web->picture.get(), rect);
	return (int32)web->changed.size();
}


// The rectangles of the last update: x, y, width and height each.
WEB_EXPORT("dg_view_changed") const PixelRect*
dg_view_changed(const WebView* web)
{
	return web->changed.data();
}


WEB_EXPORT("dg_view_picture") const uint8*
dg_view_picture(const WebView* web)
{
	return web->picture.get();
}


// #pragma mark - the saver


WEB_EXPORT("dg_saver_init_check") status_t
dg_saver_init_check(BScreenSaver* saver)
{
	return saver->InitCheck();
}


WEB_EXPORT("dg_saver_start") status_t
dg_saver_start(BScreenSaver* saver, WebView* web, int32 preview)
{
	return saver->StartSaver(web->surface->View(), preview != 0);
}


WEB_EXPORT("dg_saver_draw") void
dg_saver_draw(BScreenSaver* saver, WebView* web, int32 frame)
{
	saver->Draw(web->surface->View(), frame);
}


WEB_EXPORT("dg_saver_stop") void
dg_saver_stop(BScreenSaver* saver)
{
	saver->StopSaver();
}


// The period the saver asks for, in microseconds.
WEB_EXPORT("dg_saver_tick_size") double
dg_saver_tick_size(const BScreenSaver* saver)
{
	return (double)saver->TickSize();
}


WEB_EXPORT("dg_saver_delete") void
dg_saver_delete(BScreenSaver* saver)
{
	delete saver;
}


// #pragma mark - the settings panel


// StartConfig() on a settings view, what it then holds, StopConfig(): as
// saverhost --config has it.
WEB_EXPORT("dg_settings_show") SettingsPanel*
dg_settings_show(BScreenSaver* saver)
{
	return new SettingsPanel(ShowSettings(*saver));
}


WEB_EXPORT("dg_settings_delete") void
dg_settings_delete(SettingsPanel* panel)
{
	delete panel;
}


WEB_EXPORT("dg_settings_count") int32
dg_settings_count(const SettingsPanel* panel)
{
	return (int32)panel->items.size();
}


// The view on one line, as saverhost --config lists it.
WEB_EXPORT("dg_settings_line") const char*
dg_settings_line(const SettingsPanel* panel, int32 index)
{
	return panel->items[index].line.c_str();
}


// A label's text; NULL for a view that is not a label.
WEB_EXPORT("dg_settings_text") const char*
dg_settings_text(const SettingsPanel* panel, int32 index)
{
	const SettingsItem& item = panel->items[index];
	return item.hasText ? item.text.c_str() : NULL;
}


// 0 for the panel's own children, 1 for theirs, and so on.
WEB_EXPORT("dg_settings_depth") int32
dg_settings_depth(const SettingsPanel* panel, int32 index)
{
	return panel->items[index].depth;
}


// The frame in the parent's coordinates: left, top, right, bottom.
WEB_EXPORT("dg_settings_frame") void
dg_settings_frame(const SettingsPanel* panel, int32 index, float* edges)
{
	BRect frame = panel->items[index].frame;
	edges[0] = frame.left;
	edges[1] = frame.top;
	edges[2] = frame.right;
	edges[3] = frame.bottom;
}
