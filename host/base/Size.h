// A view size in whole pixels.
#ifndef SAVERHOST_SIZE_H
#define SAVERHOST_SIZE_H

#include <cstdint>
#include <string>

struct Size {
	int32_t width = 0;
	int32_t height = 0;
};

// A size as the command line writes it: 640x480.
inline std::string
SizeText(Size size)
{
	return std::to_string(size.width) + "x" + std::to_string(size.height);
}

inline bool
SameSize(Size a, Size b)
{
	return a.width == b.width && a.height == b.height;
}

#endif	// SAVERHOST_SIZE_H
