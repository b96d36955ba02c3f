#include "PngPixels.h"

#include <png.h>


std::optional<WindowPixels>
ReadPngPixels(const std::filesystem::path& path)
{
	png_image image{};
	image.version = PNG_IMAGE_VERSION;
	if (!png_image_begin_read_from_file(&image, path.c_str()))
		return std::nullopt;
	image.format = PNG_FORMAT_BGRA;
	WindowPixels pixels;
	pixels.width = static_cast<int>(image.width);
	pixels.height = static_cast<int>(image.height);
	pixels.bits.resize(PNG_IMAGE_SIZE(image));
	if (!png_image_finish_read(&image, nullptr, pixels.bits.data(), 0, nullptr)) {
		png_image_free(&image);
		return std::nullopt;
	}
	for (size_t i = 3; i < pixels.bits.size(); i += 4)
		pixels.bits[i] = 0;
	return pixels;
}
