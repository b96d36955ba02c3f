// Pixels an output lends the saver's view for one frame.
#ifndef SAVERHOST_PIXEL_TARGET_H
#define SAVERHOST_PIXEL_TARGET_H

#include <cstddef>
#include <cstdint>

// Memory in the B_RGB32 layout (blue, green, red, unused), rows bytesPerRow
// apart: the saver's present then lands on its way to the screen in one
// copy.
struct PixelTarget {
	uint8_t* bits = nullptr;
	size_t bytesPerRow = 0;
	// The pixels hold what the saver's view left in them when they were last
	// lent, untouched since. An output that wrote them itself in between
	// (cleared them, copied a frame or drew text into them), or whose pixels
	// may have been replaced at the same address, says false: the view then
	// compares with every pixel again instead of trusting what it knew.
	bool untouched = false;
};

#endif	// SAVERHOST_PIXEL_TARGET_H
