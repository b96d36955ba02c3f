#include "outputs/wayland/FrameSurface.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include <SDL.h>

#include "outputs/pictures/WindowPictures.h"


namespace {

// Buffers a surface keeps at most: one the compositor shows, one it is done
// with, and one more while it is slow to give that back.
constexpr size_t kMostBuffers = 3;

// More rectangles than this a frame are sent as one: each is a request.
constexpr size_t kMostRects = 1024;

// XRGB8888 as SDL names it: wl_shm's formats are little-endian words.
#if SDL_BYTEORDER == SDL_BIG_ENDIAN
constexpr Uint32 kBufferFormat = SDL_PIXELFORMAT_BGRX8888;
#else
constexpr Uint32 kBufferFormat = SDL_PIXELFORMAT_XRGB8888;
#endif


// Pixels as an SDL surface, to draw on or blit from; the memory stays theirs.
SurfacePtr
Wrapped(const PixelView& pixels)
{
	return SurfacePtr(SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(pixels.bits),
		pixels.width, pixels.height, 32, static_cast<int>(pixels.bytesPerRow),
		kBufferFormat));
}


// A frame of the host's into a buffer: as it is when it has the buffer's
// size; otherwise (the preview, a frame of the size before a resize) as
// large as fits, by a whole factor where it is smaller, centred on black.
void
CopyScaled(const PixelView& frame, const PixelView& buffer)
{
	SurfacePtr target = Wrapped(buffer);
	if (!target)
		return;
	SDL_FillRect(target.get(), nullptr, Mapped(target.get(), SDL_Color{0, 0, 0, 255}));
	SurfacePtr source = frame.bits != nullptr && frame.width > 0 && frame.height > 0
		? Wrapped(frame) : nullptr;
	if (!source)
		return;
	SDL_SetSurfaceBlendMode(source.get(), SDL_BLENDMODE_NONE);
	if (frame.width == buffer.width && frame.height == buffer.height) {
		SDL_BlitSurface(source.get(), nullptr, target.get(), nullptr);
		return;
	}
	double scale = std::min(static_cast<double>(buffer.width) / frame.width,
		static_cast<double>(buffer.height) / frame.height);
	if (scale >= 1)
		scale = std::floor(scale);
	SDL_Rect where;
	where.w = std::max(1, static_cast<int>(frame.width * scale));
	where.h = std::max(1, static_cast<int>(frame.height * scale));
	where.x = (buffer.width - where.w) / 2;
	where.y = (buffer.height - where.h) / 2;
	SDL_BlitScaled(source.get(), nullptr, target.get(), &where);
}

}	// namespace


const wl_callback_listener FrameSurface::kFrameListener = {
	[](void* data, wl_callback*, uint32_t) {
		static_cast<FrameSurface*>(data)->fFrameCallback.reset();
	},
};


FrameSurface::FrameSurface(WaylandConnection& connection)
	:
	fConnection(connection),
	fSurface(wl_compositor_create_surface(connection.Compositor()))
{
}


FrameSurface::~FrameSurface() = default;


void
FrameSurface::Resize(Size size, int32_t scale)
{
	scale = std::max(scale, 1);
	Size pixels{size.width * scale, size.height * scale};
	fScale = scale;
	if (SameSize(pixels, fPixelSize))
		return;
	fPixelSize = pixels;
	fBuffers.clear();
	fViewBuffer = nullptr;
	fViewTouched = true;
	fCopying = false;
	fCanvas.reset();
	fShowsFrame = false;
}


void
FrameSurface::ShowOverlay(SDL_Surface* text)
{
	fOverlay = text;
	// The figures must not land in the view's pixels.
	if (fOverlay != nullptr && !fCopying) {
		fCopying = true;
		fViewBuffer = nullptr;
	}
}


// A buffer the compositor is not reading, made if need be; none while it
// holds every one there may be; or why none could be made.
Result<ShmBuffer*>
FrameSurface::_FreeBuffer()
{
	for (const std::unique_ptr<ShmBuffer>& buffer : fBuffers) {
		if (!buffer->Busy())
			return buffer.get();
	}
	if (fBuffers.size() >= kMostBuffers)
		return static_cast<ShmBuffer*>(nullptr);
	Result<std::unique_ptr<ShmBuffer>> made = ShmBuffer::Create(fConnection.Shm(), fPixelSize);
	if (!made)
		return Error{made.Message()};
	// A new buffer holds black, not the picture.
	made.Value()->MissedAll();
	fBuffers.push_back(std::move(made.Value()));
	return fBuffers.back().get();
}


std::optional<PixelTarget>
FrameSurface::Lend(Size size)
{
	if (!SameSize(size, fPixelSize) || size.width < 1 || size.height < 1)
		return std::nullopt;
	if (!fCopying) {
		if (fViewBuffer == nullptr) {
			Result<ShmBuffer*> free = _FreeBuffer();
			fViewBuffer = free ? free.Value() : nullptr;
		}
		if (fViewBuffer != nullptr && !fViewBuffer->Busy()) {
			bool untouched = !fViewTouched;
			fViewTouched = false;
			return PixelTarget{fViewBuffer->Bits(), fViewBuffer->BytesPerRow(), untouched};
		}
		// The compositor keeps the buffer it shows: from now on the view
		// draws in memory of its own, and the buffer is one to copy into.
		fCopying = true;
		fViewBuffer = nullptr;
	}
	size_t bytesPerRow = static_cast<size_t>(size.width) * 4;
	if (!fCanvas) {
		fCanvas.reset(static_cast<uint8_t*>(std::calloc(static_cast<size_t>(size.height),
			bytesPerRow)));
		if (!fCanvas)
			return std::nullopt;
	}
	return PixelTarget{fCanvas.get(), bytesPerRow, true};
}


void
FrameSurface::_OthersMissed(const ShmBuffer* except, const Damage& damage)
{
	for (const std::unique_ptr<ShmBuffer>& buffer : fBuffers) {
		if (buffer.get() != except)
			buffer->Missed(damage);
	}
}


Result<void>
FrameSurface::Present(const PixelView& frame, const Damage& damage)
{
	if (fViewBuffer != nullptr && frame.bits == fViewBuffer->Bits()) {
		_OthersMissed(fViewBuffer, damage);
		_Commit(*fViewBuffer, damage, std::nullopt, true);
		return {};
	}
	Result<ShmBuffer*> free = _FreeBuffer();
	if (!free)
		return Error{free.Message()};
	ShmBuffer* target = free.Value();
	if (target == nullptr) {
		// Every buffer is still the compositor's: the frame is left out, and
		// the next one brings what it changed.
		_OthersMissed(nullptr, damage);
		return {};
	}
	Damage sent = damage;
	bool fromCanvas = fCanvas && frame.bits == fCanvas.get()
		&& SameSize(Size{frame.width, frame.height}, fPixelSize);
	if (fromCanvas) {
		_OthersMissed(target, damage);
		target->CatchUp(frame, damage);
	} else {
		CopyScaled(frame, target->Pixels());
		_OthersMissed(nullptr, Damage());
		fViewTouched = fViewTouched || target == fViewBuffer;
		sent = Damage();
	}
	std::optional<PixelRect> overlay = _DrawOverlay(*target);
	_Commit(*target, sent, overlay, true);
	return {};
}


// The --fps figures over the frame in buffer. Every buffer then lacks the
// picture under them, to be copied back before the figures are drawn anew.
std::optional<PixelRect>
FrameSurface::_DrawOverlay(ShmBuffer& buffer)
{
	if (fOverlay == nullptr)
		return std::nullopt;
	SurfacePtr target = Wrapped(buffer.Pixels());
	if (!target)
		return std::nullopt;
	DrawStatsOverlay(target.get(), fOverlay);
	SDL_Rect box = StatsOverlayBox(fOverlay);
	PixelRect rect{box.x, box.y, std::min(box.w, fPixelSize.width - box.x),
		std::min(box.h, fPixelSize.height - box.y)};
	if (rect.width < 1 || rect.height < 1)
		return std::nullopt;
	_OthersMissed(nullptr, Damage({rect}));
	return rect;
}


Result<void>
FrameSurface::Paint(const std::function<void(SDL_Surface*)>& draw)
{
	Result<ShmBuffer*> free = _FreeBuffer();
	if (!free)
		return Error{free.Message()};
	ShmBuffer* target = free.Value();
	if (target == nullptr)
		return {};
	SurfacePtr surface = Wrapped(target->Pixels());
	if (!surface)
		return Error{std::string("cannot draw in the window: ") + SDL_GetError()};
	draw(surface.get());
	target->MissedAll();
	fViewTouched = fViewTouched || target == fViewBuffer;
	_Commit(*target, Damage(), std::nullopt, false);
	return {};
}


// Attaches buffer, a frame or not, and sends what changed: the damaged
// rectangles, or everything where the compositor showed something else, or
// where that is about as cheap. The next frame is asked for with the commit.
void
FrameSurface::_Commit(ShmBuffer& buffer, const Damage& damage, std::optional<PixelRect> also,
	bool frame)
{
	wl_surface* surface = fSurface.get();
	int64_t area = static_cast<int64_t>(fPixelSize.width) * fPixelSize.height;
	if (!fShowsFrame || damage.Whole() || damage.Rects().size() > kMostRects
		|| 2 * damage.Area(fPixelSize) > area) {
		wl_surface_damage_buffer(surface, 0, 0, INT32_MAX, INT32_MAX);
	} else {
		for (const PixelRect& rect : damage.Rects())
			wl_surface_damage_buffer(surface, rect.x, rect.y, rect.width, rect.height);
		if (also)
			wl_surface_damage_buffer(surface, also->x, also->y, also->width, also->height);
	}
	buffer.AttachTo(surface);
	if (fScale != fCommittedScale) {
		wl_surface_set_buffer_scale(surface, fScale);
		fCommittedScale = fScale;
	}
	if (!fFrameCallback) {
		fFrameCallback.reset(wl_surface_frame(surface));
		wl_callback_add_listener(fFrameCallback.get(), &kFrameListener, this);
	}
	wl_surface_commit(surface);
	fShowsFrame = frame;
	fShown = true;
}
