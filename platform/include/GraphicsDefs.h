// Colour spaces and colours.
#ifndef _GRAPHICS_DEFS_H
#define _GRAPHICS_DEFS_H

#include <SupportDefs.h>

enum color_space {
	// Four bytes a pixel: blue, green, red, and an unused fourth byte.
	B_RGB32				= 0x0008,
#ifndef ADDON_API_ONLY
	B_NO_COLOR_SPACE	= 0x0000,
	B_GRAY1				= 0x0001,
	B_GRAY8				= 0x0002,
	B_RGB24				= 0x0003,
	B_CMAP8				= 0x0004,
	B_RGB16				= 0x0005,
	B_RGB15				= 0x0010,
	B_RGBA32			= 0x2008
#endif
};

#ifndef ADDON_API_ONLY
struct rgb_color {
	uint8	red;
	uint8	green;
	uint8	blue;
	uint8	alpha;
};
#endif

#endif	// _GRAPHICS_DEFS_H
