#include "outputs/files/PngWriter.h"

#include <csetjmp>
#include <string>
#include <vector>

#include <png.h>


namespace {

// Where libpng's error handler leaves the reason before it jumps back.
struct ErrorState {
	std::jmp_buf jump;
	char message[256];
};


void
OnError(png_structp png, png_const_charp message)
{
	ErrorState* state = static_cast<ErrorState*>(png_get_error_ptr(png));
	std::snprintf(state->message, sizeof(state->message), "%s", message);
	std::longjmp(state->jump, 1);
}


void
OnWarning(png_structp, png_const_charp)
{
	// Nothing libpng warns about while writing changes the image.
}


// The libpng calls, kept apart from every object with a destructor: a
// longjmp() out of libpng must not skip one. row has room for one RGB row.
bool
WriteRows(png_structp png, png_infop info, std::FILE* file, const PixelView& pixels,
	png_bytep row)
{
	ErrorState* state = static_cast<ErrorState*>(png_get_error_ptr(png));
	if (setjmp(state->jump) != 0)
		return false;

	png_init_io(png, file);
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
	PngStructs structs(&state);
	if (structs.Png() == nullptr || structs.Info() == nullptr)
		return Error{"not enough memory for the PNG encoder"};

	std::vector<png_byte> row(static_cast<size_t>(pixels.width) * 3);
	if (!WriteRows(structs.Png(), structs.Info(), file, pixels, row.data()))
		return Error{std::string("PNG encoder: ") + state.message};
	return {};
}
