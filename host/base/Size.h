// A view size in whole pixels.
#ifndef SAVERHOST_SIZE_H
#define SAVERHOST_SIZE_H

#include <cstdint>

struct Size {
	int32_t width = 0;
	int32_t height = 0;
};

#endif	// SAVERHOST_SIZE_H
