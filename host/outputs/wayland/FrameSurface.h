// A wl_surface that shows the saver's frames through shared-memory buffers
// (ShmBuffer), sending the compositor only the rectangles a frame changed
// (wl_surface.damage_buffer), each frame with a frame callback.
//
// Where the compositor gives a buffer back before the next frame (one that
// copies shared memory into textures does so as the commit arrives), the
// view is lent that buffer itself: the saver's present lands in it, and the
// frame is copied nowhere else. A compositor that reads the buffer for as
// long as it shows it (one that draws in software) keeps it until the next
// commit; then the view is lent memory of the host's own instead, which is
// never attached, and each frame copies into a buffer the compositor gave
// back the rectangles that changed, and those the buffer missed while other
// buffers were shown. Either way nothing but the saver's present writes the
// view's pixels, so what the view knows of them stays true.
#ifndef SAVERHOST_FRAME_SURFACE_H
#define SAVERHOST_FRAME_SURFACE_H

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "base/Damage.h"
#include "base/PixelTarget.h"
#include "base/PixelView.h"
#include "base/Result.h"
#include "base/Size.h"
#include "outputs/wayland/ShmBuffer.h"
#include "outputs/wayland/WaylandConnection.h"

struct SDL_Surface;

class FrameSurface {
	struct Freer {
		void operator()(uint8_t* bits) const { std::free(bits); }
	};

public:
	explicit FrameSurface(WaylandConnection& connection);
	~FrameSurface();

	FrameSurface(const FrameSurface&) = delete;
	FrameSurface& operator=(const FrameSurface&) = delete;

	wl_surface* Get() const { return fSurface.get(); }

	// The surface's size in the compositor's coordinates, and pixels to a
	// unit of them: the buffers' size from the next frame on. The role
	// acknowledges the configure that asked for it at the same time.
	void Resize(Size size, int32_t scale);
	Size PixelSize() const { return fPixelSize; }

	// The --fps figures drawn over every frame from now on, or none (null).
	// The text is the caller's, and must live until it is replaced.
	void ShowOverlay(SDL_Surface* text);

	// Pixels for the next frame, of the buffers' size, or none.
	std::optional<PixelTarget> Lend(Size size);
	// Shows a frame: the pixels lent, or a frame of the host's, scaled to
	// fit where its size is not the buffers'.
	Result<void> Present(const PixelView& frame, const Damage& damage);
	// Shows what draw paints over the whole surface (a notice) instead;
	// nothing while the compositor holds every buffer.
	Result<void> Paint(const std::function<void(SDL_Surface*)>& draw);

	// Something was committed, and the compositor has not yet called for
	// the next frame: it is not showing the surface, or not yet.
	bool AwaitingFrame() const { return fFrameCallback != nullptr; }
	// Committed with a buffer at least once: the role has mapped it.
	bool Shown() const { return fShown; }

private:
	Result<ShmBuffer*> _FreeBuffer();
	void _OthersMissed(const ShmBuffer* except, const Damage& damage);
	std::optional<PixelRect> _DrawOverlay(ShmBuffer& buffer);
	void _Commit(ShmBuffer& buffer, const Damage& damage, std::optional<PixelRect> also,
		bool frame);

	static const struct wl_callback_listener kFrameListener;

	WaylandConnection& fConnection;
	WaylandPtr<wl_surface> fSurface;
	WaylandPtr<wl_callback> fFrameCallback;

	Size fPixelSize;
	int32_t fScale = 1;
	int32_t fCommittedScale = 1;
	std::vector<std::unique_ptr<ShmBuffer>> fBuffers;
	// The buffer lent to the view, while the compositor gives it back in
	// time; and whether anything else wrote it since it was last lent.
	ShmBuffer* fViewBuffer = nullptr;
	bool fViewTouched = true;
	// The view's own memory, once the compositor keeps what it shows.
	bool fCopying = false;
	std::unique_ptr<uint8_t, Freer> fCanvas;

	SDL_Surface* fOverlay = nullptr;
	// The compositor shows a frame, not a notice or nothing: the next
	// frame's damage is what it changed in what is shown.
	bool fShowsFrame = false;
	bool fShown = false;
};

#endif	// SAVERHOST_FRAME_SURFACE_H
