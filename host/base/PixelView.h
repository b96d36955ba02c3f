// Read-only access to a frame's pixels in the B_RGB32 layout: four bytes a
// pixel (blue, green, red, unused), rows bytesPerRow apart.
#ifndef SAVERHOST_PIXEL_VIEW_H
#define SAVERHOST_PIXEL_VIEW_H

#include <cstddef>
#include <cstdint>

struct PixelView {
	const uint8_t* bits = nullptr;
	size_t bytesPerRow = 0;
	int32_t width = 0;
	int32_t height = 0;

	const uint8_t* Row(int32_t y) const { return bits + static_cast<size_t>(y) * bytesPerRow; }
};

// Byte offsets of the channels within a B_RGB32 pixel.
constexpr int kBlueByte = 0;
constexpr int kGreenByte = 1;
constexpr int kRedByte = 2;

#endif	// SAVERHOST_PIXEL_VIEW_H
