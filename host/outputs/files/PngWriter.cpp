#include "outputs/files/PngWriter.h"

#include <cerrno>
#include <csetjmp>
#include <string>
#include <vector>

#include <png.h>

#include "base/SystemReason.h"


namespace {

// Where libpng's error handler leaves the reason before it jumps back, and
// the file the bytes go to.
struct ErrorState {
	std::jmp_buf jump;
	char message[256];
	std::FILE* file;
	// The system's error of a failed write, or 0.
	int writeError;
};


void
OnError(png_structp png, png_const_charp message)
{
	ErrorState* state = static_cast<ErrorState*>(png_get_error_ptr(png));
	std::snprintf(state->message, sizeof(state->message), "%s", message);
	std::longjmp(state->jump, 1);
}


// libpng's own writer says only "Write Error"; this one keeps the system's
// reason (a full disk, a file too large) for the message.
void
OnWrite(png_structp png, png_bytep data, size_t length)
{
	ErrorState* state = static_cast<ErrorState*>(png_get_error_ptr(png));
	errno = 0;
	if (std::fwrite(data, 1, length, state->file) != length) {
		state->writeError = errno != 0 ? errno : EIO;
		png_error(png, "write error");
	}
}


void
OnFlush(png_structp)
{
	// The caller flushes the stream, and hears of its errors there.
}


void
OnWarning(png_structp, png_const_charp)
{
	// Nothing libpng warns about while writing changes the image.
}


// The libpng calls, kept apart from every object with a destructor: a
// longjmp() out of libpng must not skip one. row has room for one RGB row.
bool
WriteRows(png_structp png, png_infop info, const PixelView& pixels, png_bytep row)
{
	ErrorState* state = static_cast<ErrorState*>(png_get_error_ptr(png));
	if (setjmp(state->jump) != 0)
		return false;

	png_set_write_fn(png, state, OnWrite, OnFlush);
	png_set_IHDR(png, info, static_cast<png_uint_32>(pixels.width),
		static_cast<png_uint_32>(pixels.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
		PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
	png_write_info(png, info);

	for (int32_t y = 0; y < pixels.height; y++) {
		const uint8_t* from = pixels.Row(y);
		png_bytep to = row;
		for (int32_t x = 0; x < pixels.width; x++, from += 4, to += 3) {
			to[0] = from[kRedByte];
			to[1] = from[kGreenByte];
			to[2] = from[kBlueByte];
		}
		png_write_row(png, row);
	}
	png_write_end(png, info);
	return true;
}


// The write structures, destroyed together.
class PngStructs {
public:
	explicit PngStructs(ErrorState* state)
		:
		fPng(png_create_write_struct(PNG_LIBPNG_VER_STRING, state, OnError, OnWarning)),
		fInfo(fPng != nullptr ? png_create_info_struct(fPng) : nullptr)
	{
	}
	~PngStructs() { png_destroy_write_struct(&fPng, &fInfo); }

	PngStructs(const PngStructs&) = delete;
	PngStructs& operator=(const PngStructs&) = delete;

	png_structp Png() const { return fPng; }
	png_infop Info() const { return fInfo; }

private:
	png_structp fPng;
	png_infop fInfo;
};

}	// namespace


Result<void>
WritePng(std::FILE* file, const PixelView& pixels)
{
	if (pixels.width < 1 || pixels.height < 1)
		return Error{"an image needs at least one pixel"};

	ErrorState state{};
	state.file = file;
	PngStructs structs(&state);
	if (structs.Png() == nullptr || structs.Info() == nullptr)
		return Error{"not enough memory for the PNG encoder"};

	std::vector<png_byte> row(static_cast<size_t>(pixels.width) * 3);
	if (!WriteRows(structs.Png(), structs.Info(), pixels, row.data())) {
		if (state.writeError != 0)
			return Error{SystemReason(state.writeError)};
		return Error{std::string("PNG encoder: ") + state.message};
	}
	return {};
}
