// Host side of the stand-in interface kit, not part of the platform API: every
// bitmap row ends in padding filled with a known byte, so that a write past
// the end of a row, or past the last row, can be caught afterwards.
#ifndef _BITMAP_GUARD_H
#define _BITMAP_GUARD_H

#include <Bitmap.h>

namespace BPrivate {

class _EXPORT BitmapGuard {
public:
	static	const uint8			kCanary = 0xC5;

	// True while every padding byte and the guard area after the last row
	// still hold kCanary.
	static	bool				Intact(const BBitmap* bitmap);

	// The bitmaps alive in the process that hold pixels, for a host that
	// cannot reach those an add-on keeps to itself: how many there are, and
	// whether every one of them is intact.
	static	int32				CountLive();
	static	bool				AllIntact();
};

}	// namespace BPrivate

#endif	// _BITMAP_GUARD_H
