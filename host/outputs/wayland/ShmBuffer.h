// One buffer of pixels that the compositor reads: memory of its own shared
// with it (a memfd), XRGB8888, whose bytes lie as B_RGB32's do (blue,
// green, red, unused), so that the saver's view can be lent it as it is.
// Once attached and committed it is the compositor's to read until it says
// it is done (wl_buffer.release); the buffer also keeps what it lacks of the
// latest picture, where frames went to other buffers meanwhile.
#ifndef SAVERHOST_SHM_BUFFER_H
#define SAVERHOST_SHM_BUFFER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/Damage.h"
#include "base/PixelView.h"
#include "base/Result.h"
#include "base/Size.h"
#include "outputs/wayland/WaylandProtocols.h"

class ShmBuffer {
	struct Token {
		explicit Token() = default;
	};

public:
	// A black buffer of the size, or why it cannot be had.
	static Result<std::unique_ptr<ShmBuffer>> Create(wl_shm* shm, Size size);

	ShmBuffer(Token, Size size, void* pixels, wl_buffer* buffer);
	~ShmBuffer();

	ShmBuffer(const ShmBuffer&) = delete;
	ShmBuffer& operator=(const ShmBuffer&) = delete;

	uint8_t* Bits() const { return static_cast<uint8_t*>(fPixels); }
	size_t BytesPerRow() const { return static_cast<size_t>(fSize.width) * 4; }
	Size Dimensions() const { return fSize; }
	PixelView Pixels() const;

	// Attaches it to the surface for the next commit; from then on the
	// compositor may read it until it gives it back.
	void AttachTo(wl_surface* surface);
	bool Busy() const { return fBusy; }

	// A frame changed these pixels of the picture in another buffer, or
	// changed it all; or the buffer was drawn over with something else.
	void Missed(const Damage& damage);
	void MissedAll() { fMissedAll = true; }
	// Brings the buffer up to picture (of its size): copies in what it
	// missed and what changed besides.
	void CatchUp(const PixelView& picture, const Damage& changed);

private:
	void _Copy(const PixelView& picture, const PixelRect& rect);

	static const struct wl_buffer_listener kListener;

	Size fSize;
	void* fPixels;
	WaylandPtr<wl_buffer> fBuffer;
	bool fBusy = false;
	std::vector<PixelRect> fMissed;
	bool fMissedAll = false;
};

#endif	// SAVERHOST_SHM_BUFFER_H
