#include "outputs/wayland/ShmBuffer.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>


namespace {

// More rectangles missed than this are caught up as one whole copy.
constexpr size_t kMostMissed = 1024;


// Closes the file when it goes.
class FileDescriptor {
public:
	explicit FileDescriptor(int fd) : fFd(fd) {}
	~FileDescriptor()
	{
		if (fFd >= 0)
			close(fFd);
	}
	FileDescriptor(const FileDescriptor&) = delete;
	FileDescriptor& operator=(const FileDescriptor&) = delete;

	int Get() const { return fFd; }

private:
	int fFd;
};

}	// namespace


const wl_buffer_listener ShmBuffer::kListener = {
	[](void* data, wl_buffer*) { static_cast<ShmBuffer*>(data)->fBusy = false; },
};


Result<std::unique_ptr<ShmBuffer>>
ShmBuffer::Create(wl_shm* shm, Size size)
{
	size_t bytesPerRow = static_cast<size_t>(size.width) * 4;
	size_t bytes = bytesPerRow * static_cast<size_t>(size.height);
	auto failed = [&](const char* what) {
		return Error{std::string("cannot make a ") + SizeText(size)
			+ " buffer to share with the compositor (" + what + ": "
			+ std::strerror(errno) + ")"};
	};
	if (size.width < 1 || size.height < 1 || bytesPerRow > INT32_MAX || bytes > INT32_MAX) {
		errno = EINVAL;
		return failed("size");
	}

	// Sealed against shrinking: the compositor may read it all, always.
	FileDescriptor file(memfd_create("saverhost-frame", MFD_CLOEXEC | MFD_ALLOW_SEALING));
	if (file.Get() < 0)
		return failed("memfd_create");
	if (ftruncate(file.Get(), static_cast<off_t>(bytes)) != 0)
		return failed("ftruncate");
	fcntl(file.Get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_SEAL);
	void* pixels = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, file.Get(), 0);
	if (pixels == MAP_FAILED)
		return failed("mmap");

	// The pool lives on in the compositor as long as the buffer; the file's
	// descriptor is duplicated as the request is sent.
	wl_shm_pool* pool = wl_shm_create_pool(shm, file.Get(), static_cast<int32_t>(bytes));
	wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, size.width, size.height,
		static_cast<int32_t>(bytesPerRow), WL_SHM_FORMAT_XRGB8888);
	wl_shm_pool_destroy(pool);
	return Result<std::unique_ptr<ShmBuffer>>(
		std::make_unique<ShmBuffer>(Token{}, size, pixels, buffer));
}


ShmBuffer::ShmBuffer(Token, Size size, void* pixels, wl_buffer* buffer)
	:
	fSize(size),
	fPixels(pixels),
	fBuffer(buffer)
{
	wl_buffer_add_listener(fBuffer.get(), &kListener, this);
}


ShmBuffer::~ShmBuffer()
{
	fBuffer.reset();
	munmap(fPixels, BytesPerRow() * static_cast<size_t>(fSize.height));
}


PixelView
ShmBuffer::Pixels() const
{
	return PixelView{Bits(), BytesPerRow(), fSize.width, fSize.height};
}


void
ShmBuffer::AttachTo(wl_surface* surface)
{
	wl_surface_attach(surface, fBuffer.get(), 0, 0);
	fBusy = true;
}


void
ShmBuffer::Missed(const Damage& damage)
{
	if (damage.Whole() || fMissed.size() + damage.Rects().size() > kMostMissed)
		fMissedAll = true;
	if (fMissedAll)
		return;
	fMissed.insert(fMissed.end(), damage.Rects().begin(), damage.Rects().end());
}


void
ShmBuffer::CatchUp(const PixelView& picture, const Damage& changed)
{
	if (picture.width != fSize.width || picture.height != fSize.height)
		return;
	Missed(changed);
	if (fMissedAll)
		_Copy(picture, PixelRect{0, 0, fSize.width, fSize.height});
	else {
		for (const PixelRect& rect : fMissed)
			_Copy(picture, rect);
	}
	fMissed.clear();
	fMissedAll = false;
}


void
ShmBuffer::_Copy(const PixelView& picture, const PixelRect& rect)
{
	// Rectangles from the damage lie within the frame; held there all the same.
	int32_t left = std::clamp(rect.x, 0, fSize.width);
	int32_t top = std::clamp(rect.y, 0, fSize.height);
	int32_t right = std::clamp(rect.x + rect.width, left, fSize.width);
	int32_t bottom = std::clamp(rect.y + rect.height, top, fSize.height);
	size_t bytes = static_cast<size_t>(right - left) * 4;
	for (int32_t y = top; y < bottom; y++) {
		std::memcpy(Bits() + static_cast<size_t>(y) * BytesPerRow() + left * 4,
			picture.Row(y) + static_cast<size_t>(left) * 4, bytes);
	}
}
