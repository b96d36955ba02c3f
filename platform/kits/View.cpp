#include <View.h>

#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <Bitmap.h>

#include "ChangedPixels.h"
#include "ViewSurface.h"


BView::BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
	:
	fName(strdup(name != NULL ? name : "")),
	fFrame(frame),
	fResizingMode(resizingMode),
	fFlags(flags),
	fParent(NULL),
	fFirstChild(NULL),
	fNextSibling(NULL),
	fPreviousSibling(NULL),
	fSurface(NULL)
{
}


BView::~BView()
{
	if (fParent != NULL)
		fParent->RemoveChild(this);

	while (fFirstChild != NULL) {
		BView* child = fFirstChild;
		RemoveChild(child);
		delete child;
	}

	delete fSurface;
	free(fName);
}


const char*
BView::Name() const
{
	return fName;
}


BRect
BView::Frame() const
{
	return fFrame;
}


BRect
BView::Bounds() const
{
	return BRect(0, 0, fFrame.Width(), fFrame.Height());
}


uint32
BView::ResizingMode() const
{
	return fResizingMode;
}


uint32
BView::Flags() const
{
	return fFlags;
}


void
BView::AddChild(BView* child, BView* before)
{
	// A view has one parent at most, and never holds itself.
	if (child == NULL || child == this || child->fParent != NULL)
		return;

	// A sibling that is not one of our children means "at the end".
	if (before != NULL && before->fParent != this)
		before = NULL;

	child->fParent = this;
	if (before != NULL) {
		child->fNextSibling = before;
		child->fPreviousSibling = before->fPreviousSibling;
		if (before->fPreviousSibling != NULL)
			before->fPreviousSibling->fNextSibling = child;
		else
			fFirstChild = child;
		before->fPreviousSibling = child;
		return;
	}

	BView* last = fFirstChild;
	while (last != NULL && last->fNextSibling != NULL)
		last = last->fNextSibling;

	child->fNextSibling = NULL;
	child->fPreviousSibling = last;
	if (last != NULL)
		last->fNextSibling = child;
	else
		fFirstChild = child;
}


bool
BView::RemoveChild(BView* child)
{
	if (child == NULL || child->fParent != this)
		return false;

	if (child->fPreviousSibling != NULL)
		child->fPreviousSibling->fNextSibling = child->fNextSibling;
	else
		fFirstChild = child->fNextSibling;
	if (child->fNextSibling != NULL)
		child->fNextSibling->fPreviousSibling = child->fPreviousSibling;

	child->fParent = NULL;
	child->fNextSibling = NULL;
	child->fPreviousSibling = NULL;
	return true;
}


int32
BView::CountChildren() const
{
	int32 count = 0;
	for (BView* child = fFirstChild; child != NULL; child = child->fNextSibling)
		count++;
	return count;
}


BView*
BView::ChildAt(int32 index) const
{
	BView* child = fFirstChild;
	while (child != NULL && index-- > 0)
		child = child->fNextSibling;
	return index < 0 ? child : NULL;
}


BView*
BView::Parent() const
{
	return fParent;
}


BView*
BView::NextSibling() const
{
	return fNextSibling;
}


BView*
BView::PreviousSibling() const
{
	return fPreviousSibling;
}


void
BView::MovePenTo(BPoint where)
{
	fPenLocation = where;
}


void
BView::MovePenTo(float x, float y)
{
	fPenLocation.Set(x, y);
}


BPoint
BView::PenLocation() const
{
	return fPenLocation;
}


void
BView::DrawBitmap(const BBitmap* bitmap)
{
	DrawBitmap(bitmap, fPenLocation);
}


// Integer pixel offset of a pen coordinate, saturated so that any float,
// NaN included, gives a position the clipping below can handle.
static int64
pixel_offset(float coordinate)
{
	if (!(coordinate > -1e12f && coordinate < 1e12f))
		return coordinate > 0 ? (int64)1e12 : -(int64)1e12;
	return (int64)floorf(coordinate);
}


void
BView::DrawBitmap(const BBitmap* bitmap, BPoint where)
{
	if (bitmap == NULL || bitmap->Bits() == NULL || bitmap->ColorSpace() != B_RGB32)
		return;

	BPrivate::ViewSurface* surface = BPrivate::ViewSurface::_For(this);
	surface->fDrawCount++;
	if (surface->fBits == NULL)
		return;

	// The visible area is the surface, cut down to the view's own bounds.
	int64 viewWidth = (int64)Bounds().IntegerWidth() + 1;
	int64 viewHeight = (int64)Bounds().IntegerHeight() + 1;
	int64 clipWidth = viewWidth < surface->fWidth ? viewWidth : surface->fWidth;
	int64 clipHeight = viewHeight < surface->fHeight ? viewHeight : surface->fHeight;

	BRect source = bitmap->Bounds();
	int64 sourceWidth = (int64)source.IntegerWidth() + 1;
	int64 sourceHeight = (int64)source.IntegerHeight() + 1;

	int64 left = pixel_offset(where.x);
	int64 top = pixel_offset(where.y);
	int64 firstColumn = left < 0 ? -left : 0;
	int64 firstRow = top < 0 ? -top : 0;
	int64 lastColumn = sourceWidth;
	int64 lastRow = sourceHeight;
	if (left + lastColumn > clipWidth)
		lastColumn = clipWidth - left;
	if (top + lastRow > clipHeight)
		lastRow = clipHeight - top;
	if (firstColumn >= lastColumn || firstRow >= lastRow)
		return;

	int64 fromStride = bitmap->BytesPerRow();
	int64 toStride = surface->fBytesPerRow;
	const uint8* from = (const uint8*)bitmap->Bits() + firstRow * fromStride
		+ firstColumn * 4;
	int32 x = (int32)(left + firstColumn);
	int32 y = (int32)(top + firstRow);
	uint8* to = (uint8*)surface->fBits + y * toStride + (int64)x * 4;
	int32 count = (int32)(lastColumn - firstColumn);

	// Writing only the pixels that differ and noting their tiles: the bytes
	// between rows, on either side, are neither read nor written.
	TileMaps tiles = { surface->fDamage, surface->fTileStates, surface->fTileValues,
		surface->fDamageColumns };
	copy_changed_pixels(to, toStride, from, fromStride, x, y, count,
		(int32)(lastRow - firstRow), tiles);
}


// #pragma mark - host side


BPrivate::ViewSurface::ViewSurface()
	:
	fBits(NULL),
	fBytesPerRow(0),
	fWidth(0),
	fHeight(0),
	fDrawCount(0),
	fDamage(NULL),
	fDamageColumns(0),
	fDamageRows(0),
	fTileStates(NULL),
	fTileValues(NULL)
{
}


BPrivate::ViewSurface::~ViewSurface()
{
	_FreeTiles();
}


void
BPrivate::ViewSurface::_FreeTiles()
{
	free(fDamage);
	free(fTileStates);
	free(fTileValues);
	fDamage = NULL;
	fTileStates = NULL;
	fTileValues = NULL;
	fDamageColumns = 0;
	fDamageRows = 0;
}


void
BPrivate::ViewSurface::Attach(BView* view, void* bits, int32 bytesPerRow,
	int32 width, int32 height)
{
	if (view == NULL)
		return;

	ViewSurface* surface = _For(view);
	bool usable = bits != NULL && width > 0 && height > 0
		&& bytesPerRow >= (int64)width * 4;

	// The maps of tiles: a damage byte, a state byte and a value for each
	// tile the pixels touch.
	int32 columns = usable ? (int32)(((int64)width + kDamageTile - 1) / kDamageTile) : 0;
	int32 rows = usable ? (int32)(((int64)height + kDamageTile - 1) / kDamageTile) : 0;
	if (columns != surface->fDamageColumns || rows != surface->fDamageRows) {
		surface->_FreeTiles();
		// On a 32-bit build the values of a map that large would not fit in
		// memory.
		if ((uint64)columns * rows > SIZE_MAX / sizeof(uint32))
			usable = false;
		if (usable) {
			size_t tiles = (size_t)columns * rows;
			surface->fDamage = (uint8*)malloc(tiles);
			surface->fTileStates = (uint8*)malloc(tiles);
			surface->fTileValues = (uint32*)malloc(tiles * sizeof(uint32));
			// Without the maps there is nowhere to note damage: no pixels.
			usable = surface->fDamage != NULL && surface->fTileStates != NULL
				&& surface->fTileValues != NULL;
			if (!usable)
				surface->_FreeTiles();
		}
		if (usable) {
			surface->fDamageColumns = columns;
			surface->fDamageRows = rows;
		}
	}

	surface->fBits = usable ? bits : NULL;
	surface->fBytesPerRow = usable ? bytesPerRow : 0;
	surface->fWidth = usable ? width : 0;
	surface->fHeight = usable ? height : 0;
	ClearDamage(view);
	PixelsChanged(view);
}


void
BPrivate::ViewSurface::Detach(BView* view)
{
	if (view != NULL && view->fSurface != NULL)
		view->fSurface->fBits = NULL;
}


int32
BPrivate::ViewSurface::DrawCount(const BView* view)
{
	if (view == NULL || view->fSurface == NULL)
		return 0;
	return view->fSurface->fDrawCount;
}


const uint8*
BPrivate::ViewSurface::Damage(const BView* view, int32* columns, int32* rows)
{
	const ViewSurface* surface = view != NULL ? view->fSurface : NULL;
	bool drawable = surface != NULL && surface->fBits != NULL;
	if (columns != NULL)
		*columns = drawable ? surface->fDamageColumns : 0;
	if (rows != NULL)
		*rows = drawable ? surface->fDamageRows : 0;
	return drawable ? surface->fDamage : NULL;
}


void
BPrivate::ViewSurface::ClearDamage(BView* view)
{
	if (view == NULL || view->fSurface == NULL || view->fSurface->fDamage == NULL)
		return;
	ViewSurface* surface = view->fSurface;
	memset(surface->fDamage, 0, (size_t)surface->fDamageColumns * surface->fDamageRows);
}


void
BPrivate::ViewSurface::PixelsChanged(BView* view)
{
	if (view == NULL || view->fSurface == NULL || view->fSurface->fTileStates == NULL)
		return;
	ViewSurface* surface = view->fSurface;
	memset(surface->fTileStates, kTileUnknown,
		(size_t)surface->fDamageColumns * surface->fDamageRows);
}


void
BPrivate::ViewSurface::LimitToBaselineVectors(bool limit)
{
	limit_changed_pixels_to_baseline(limit);
}


BPrivate::ViewSurface*
BPrivate::ViewSurface::_For(BView* view)
{
	if (view->fSurface == NULL)
		view->fSurface = new ViewSurface;
	return view->fSurface;
}
