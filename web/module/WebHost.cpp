// The page's host reaches the saver through these functions: the C++ side of
// web/js/saver-module.js. They do for the page what host/ does for saverhost:
// lend a view pixels (calloc'ed, black, rows of width * 4 bytes, as
// saverhost's Surface), call the saver's virtual operations, fingerprint a
// frame as saverhost --digest does, turn the view's pixels into the RGBA
// that a <canvas> takes, and list what the settings panel holds.
// The saver itself is made by the add-on's own instantiate_screen_saver,
// which the module exports and the page calls.
#include <stdlib.h>
#include <string.h>

#include <typeinfo>

#include <ScreenSaver.h>
#include <StringView.h>
#include <View.h>

#include <ViewSurface.h>


#define WEB_EXPORT(name) extern "C" __attribute__((export_name(name), used))


namespace {

// A view with the pixels the host lends it.
struct WebView {
	BView*	view;
	uint8*	bits;
	int32	width;
	int32	height;
};

// The settings view's size, as saverhost's.
const int32 kSettingsWidth = 400;
const int32 kSettingsHeight = 300;

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


// #pragma mark - views


// A view of width x height black pixels, named "preview" or "saver"; NULL
// when the pixels cannot be had.
WEB_EXPORT("dg_view_new") WebView*
dg_view_new(int32 width, int32 height, int32 preview)
{
	if (width < 1 || height < 1 || width > INT32_MAX / 4)
		return NULL;
	uint8* bits = (uint8*)calloc((size_t)height, (size_t)width * 4);
	if (bits == NULL)
		return NULL;
	WebView* web = new WebView;
	web->view = new BView(BRect(0, 0, width - 1, height - 1),
		preview ? "preview" : "saver", B_FOLLOW_ALL, B_WILL_DRAW);
	web->bits = bits;
	web->width = width;
	web->height = height;
	BPrivate::ViewSurface::Attach(web->view, bits, width * 4, width, height);
	return web;
}


WEB_EXPORT("dg_view_delete") void
dg_view_delete(WebView* web)
{
	if (web == NULL)
		return;
	// The view forgets the pixels before they go; it deletes its children.
	BPrivate::ViewSurface::Detach(web->view);
	delete web->view;
	free(web->bits);
	delete web;
}


// The DrawBitmap() calls the view has had: a saver that draws nothing
// leaves it at 0.
WEB_EXPORT("dg_view_draw_count") int32
dg_view_draw_count(const WebView* web)
{
	return BPrivate::ViewSurface::DrawCount(web->view);
}


// 64-bit FNV-1a over the red, green and blue bytes of every pixel, in that
// order, pixel by pixel and row by row: saverhost --digest's fingerprint.
WEB_EXPORT("dg_view_digest") uint64
dg_view_digest(const WebView* web)
{
	uint64 hash = 0xcbf29ce484222325ULL;
	const uint64 prime = 0x100000001b3ULL;
	const uint8* pixel = web->bits;
	size_t count = (size_t)web->width * (size_t)web->height;
	for (size_t i = 0; i < count; i++, pixel += 4) {
		hash = (hash ^ pixel[2]) * prime;
		hash = (hash ^ pixel[1]) * prime;
		hash = (hash ^ pixel[0]) * prime;
	}
	return hash;
}


// The view's pixels as a canvas's ImageData takes them: red, green, blue,
// and an opaque alpha, since the fourth byte of a B_RGB32 pixel is not
// alpha. rgba holds width * height * 4 bytes.
WEB_EXPORT("dg_view_to_rgba") void
dg_view_to_rgba(const WebView* web, uint8* rgba)
{
	const uint32* from = (const uint32*)web->bits;
	uint32* to = (uint32*)rgba;
	size_t count = (size_t)web->width * (size_t)web->height;
	for (size_t i = 0; i < count; i++) {
		// Little-endian words: B_RGB32's 0xXXRRGGBB becomes 0xFFBBGGRR.
		uint32 pixel = from[i];
		to[i] = 0xFF000000u | (pixel & 0x0000FF00u) | ((pixel >> 16) & 0xFFu)
			| ((pixel & 0xFFu) << 16);
	}
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
	return saver->StartSaver(web->view, preview != 0);
}


WEB_EXPORT("dg_saver_draw") void
dg_saver_draw(BScreenSaver* saver, WebView* web, int32 frame)
{
	saver->Draw(web->view, frame);
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


// A settings view of saverhost's size with what StartConfig() put on it.
WEB_EXPORT("dg_settings_open") BView*
dg_settings_open(BScreenSaver* saver)
{
	BView* settings = new BView(BRect(0, 0, kSettingsWidth - 1, kSettingsHeight - 1),
		"settings", B_FOLLOW_ALL, B_WILL_DRAW);
	saver->StartConfig(settings);
	return settings;
}


// StopConfig(), then the view goes with everything on it.
WEB_EXPORT("dg_settings_close") void
dg_settings_close(BScreenSaver* saver, BView* settings)
{
	saver->StopConfig();
	delete settings;
}


WEB_EXPORT("dg_settings_width") int32
dg_settings_width()
{
	return kSettingsWidth;
}


WEB_EXPORT("dg_settings_height") int32
dg_settings_height()
{
	return kSettingsHeight;
}


// Children in drawing order: the first, then each one's next sibling.
WEB_EXPORT("dg_view_first_child") BView*
dg_view_first_child(const BView* view)
{
	return view->ChildAt(0);
}


WEB_EXPORT("dg_view_next_sibling") BView*
dg_view_next_sibling(const BView* view)
{
	return view->NextSibling();
}


// The frame in the parent's coordinates: left, top, right, bottom.
WEB_EXPORT("dg_view_frame") void
dg_view_frame(const BView* view, float* edges)
{
	BRect frame = view->Frame();
	edges[0] = frame.left;
	edges[1] = frame.top;
	edges[2] = frame.right;
	edges[3] = frame.bottom;
}


// The view's class as its mangled type name, such as "11BStringView".
WEB_EXPORT("dg_view_class_name") const char*
dg_view_class_name(const BView* view)
{
	return typeid(*view).name();
}


// A label's text; NULL for a view that is not a BStringView.
WEB_EXPORT("dg_view_text") const char*
dg_view_text(const BView* view)
{
	const BStringView* label = dynamic_cast<const BStringView*>(view);
	if (label == NULL)
		return NULL;
	return label->Text() != NULL ? label->Text() : "";
}
