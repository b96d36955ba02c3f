// Resizing modes and view flags.
#ifndef _INTERFACE_DEFS_H
#define _INTERFACE_DEFS_H

#include <GraphicsDefs.h>
#include <SupportDefs.h>

// How a view's frame follows its parent's when the parent is resized.
enum {
	B_FOLLOW_LEFT				= 0x0202,
	B_FOLLOW_TOP				= 0x1010,
#ifndef ADDON_API_ONLY
	B_FOLLOW_NONE				= 0x0000,
	B_FOLLOW_RIGHT				= 0x0404,
	B_FOLLOW_LEFT_RIGHT			= 0x0204,
	B_FOLLOW_H_CENTER			= 0x0505,
	B_FOLLOW_BOTTOM				= 0x3030,
	B_FOLLOW_TOP_BOTTOM			= 0x1030,
	B_FOLLOW_V_CENTER			= 0x5050,
	B_FOLLOW_ALL				= B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP_BOTTOM
#endif
};

// View flags.
enum {
	B_WILL_DRAW					= 0x20000000UL,
#ifndef ADDON_API_ONLY
	B_FULL_UPDATE_ON_RESIZE		= 0x80000000UL,
	B_PULSE_NEEDED				= 0x10000000UL,
	B_NAVIGABLE_JUMP			= 0x08000000UL,
	B_FRAME_EVENTS				= 0x04000000UL,
	B_NAVIGABLE					= 0x02000000UL
#endif
};

#endif	// _INTERFACE_DEFS_H
