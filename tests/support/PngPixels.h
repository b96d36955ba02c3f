// A PNG file read back as a window's pixels are, to compare the two.
#ifndef TESTS_PNG_PIXELS_H
#define TESTS_PNG_PIXELS_H

#include <filesystem>
#include <optional>

#include "VirtualDisplay.h"

// The image in B_RGB32 (blue, green, red, and a fourth byte of 0), or none
// when the file is no PNG libpng can read.
std::optional<WindowPixels> ReadPngPixels(const std::filesystem::path& path);

#endif	// TESTS_PNG_PIXELS_H
