// A rectangular area that draws and holds child views.
#ifndef _VIEW_H
#define _VIEW_H

#include <InterfaceDefs.h>
#include <Rect.h>

class BBitmap;

namespace BPrivate {
	class ViewSurface;
}

class _EXPORT BView {
public:
	virtual						~BView();

			BRect				Bounds() const;
			void				AddChild(BView* child, BView* before = NULL);
			void				DrawBitmap(const BBitmap* bitmap);

#ifndef ADDON_API_ONLY
								BView(BRect frame, const char* name,
									uint32 resizingMode, uint32 flags);

			const char*			Name() const;
			BRect				Frame() const;
			uint32				ResizingMode() const;
			uint32				Flags() const;

	// Children, in drawing order. AddChild() puts the child before the given
	// sibling, or at the end when there is none; the view owns its children.
			bool				RemoveChild(BView* child);
			int32				CountChildren() const;
			BView*				ChildAt(int32 index) const;
			BView*				Parent() const;
			BView*				NextSibling() const;
			BView*				PreviousSibling() const;

			void				MovePenTo(BPoint where);
			void				MovePenTo(float x, float y);
			BPoint				PenLocation() const;

	// DrawBitmap() copies the bitmap into the view with its top-left pixel at
	// the pen position (or at where), clipped to the view.
			void				DrawBitmap(const BBitmap* bitmap, BPoint where);
#endif

private:
	friend class BPrivate::ViewSurface;

								BView(const BView&);
			BView&				operator=(const BView&);

			char*				fName;
			BRect				fFrame;
			uint32				fResizingMode;
			uint32				fFlags;
			BPoint				fPenLocation;

			BView*				fParent;
			BView*				fFirstChild;
			BView*				fNextSibling;
			BView*				fPreviousSibling;

			BPrivate::ViewSurface* fSurface;
};

#endif	// _VIEW_H
