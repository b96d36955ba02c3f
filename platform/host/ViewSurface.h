// Host side of the stand-in interface kit, not part of the platform API: the
// host lends a view the pixels that DrawBitmap() writes into and reads them back.
#ifndef _VIEW_SURFACE_H
#define _VIEW_SURFACE_H

#include <View.h>

namespace BPrivate {

class _EXPORT ViewSurface {
public:
	// Points the view at B_RGB32 pixels of width x height, rows bytesPerRow
	// apart. The memory stays the caller's; Detach() before releasing it.
	static	void				Attach(BView* view, void* bits, int32 bytesPerRow,
									int32 width, int32 height);
	static	void				Detach(BView* view);

	// DrawBitmap() calls with a drawable bitmap the view has received since it
	// was created, whether or not it had pixels to draw into.
	static	int32				DrawCount(const BView* view);

private:
	friend class ::BView;

	static	ViewSurface*		_For(BView* view);

			void*				fBits;
			int32				fBytesPerRow;
			int32				fWidth;
			int32				fHeight;
			int32				fDrawCount;
};

}	// namespace BPrivate

#endif	// _VIEW_SURFACE_H
