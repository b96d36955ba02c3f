#include "ReferenceField.h"

#include <math.h>

#include "GlowCycle.h"
#include "MoteDisc.h"
#include "MoteMotion.h"


namespace reference {

PlainCanvas::PlainCanvas(BBitmap* bitmap, int32 width, int32 height)
	:
	fBits((uint8*)bitmap->Bits()),
	fBytesPerRow(bitmap->BytesPerRow()),
	fWidth(width),
	fHeight(height)
{
}


bool
PlainCanvas::_Contains(int x, int y) const
{
	return x >= 0 && x < fWidth && y >= 0 && y < fHeight;
}


uint8*
PlainCanvas::_Row(int y) const
{
	return fBits + (intptr_t)y * fBytesPerRow;
}


void
PlainCanvas::SetPixel(int x, int y, uint8 red, uint8 green, uint8 blue)
{
	if (!_Contains(x, y))
		return;

	uint8* pixel = _Row(y) + x * 4;
	pixel[0] = blue;
	pixel[1] = green;
	pixel[2] = red;
}


void
PlainCanvas::ClearPixel(int x, int y)
{
	SetPixel(x, y, 0, 0, 0);
}


static uint8
saturating_add(uint8 stored, uint8 added)
{
	int sum = stored + added;
	return sum > 254 ? 255 : (uint8)sum;
}


void
PlainCanvas::AddPixel(int x, int y, uint8 red, uint8 green, uint8 blue)
{
	if (!_Contains(x, y))
		return;

	uint8* pixel = _Row(y) + x * 4;
	pixel[0] = saturating_add(pixel[0], blue);
	pixel[1] = saturating_add(pixel[1], green);
	pixel[2] = saturating_add(pixel[2], red);
}


void
PlainCanvas::Clear()
{
	for (int32 y = 0; y < fHeight; y++) {
		for (int32 x = 0; x < fWidth; x++)
			ClearPixel(x, y);
	}
}


void
GatherForces(Mote motes[kMoteCount], int32 j)
{
	Mote& mote = motes[j];
	for (int32 m = 0; m < kMoteCount; m++) {
		if (m == j)
			continue;

		const Mote& other = motes[m];
		double dx = (double)mote.x - (double)other.x;
		double dy = (double)mote.y - (double)other.y;
		double d2 = dx * dx + dy * dy;
		if (!(d2 > 0.000001))
			continue;

		double reach = (double)mote.reach + (double)other.reach;
		mote.forceX = (float)((double)mote.forceX
			+ ((mote.stiffness * dx) / d2) * (d2 - reach) * other.weight);
		mote.forceY = (float)((double)mote.forceY
			+ ((mote.stiffness * dy) / d2) * (d2 - reach) * other.weight);
	}
}


// The skip of discs that cannot land, tested before any conversion to an
// integer so that far-off and NaN positions never convert.
static bool
disc_may_land(const PlainCanvas& canvas, const Mote& mote)
{
	double low = -(kDiscHalfWindow + 1);
	return (double)mote.x > low && (double)mote.x < (double)canvas.Width() + kDiscHalfWindow
		&& (double)mote.y > low
		&& (double)mote.y < (double)canvas.Height() + kDiscHalfWindow;
}


static float
disc_distance(int32 d2)
{
	return (float)sqrt((double)d2);
}


void
EraseDisc(PlainCanvas& canvas, const Mote& mote)
{
	if (!disc_may_land(canvas, mote))
		return;

	int32 cx = (int32)mote.x;
	int32 cy = (int32)mote.y;
	for (int32 r = cy - kDiscHalfWindow; r <= cy + kDiscHalfWindow; r++) {
		for (int32 c = cx - kDiscHalfWindow; c <= cx + kDiscHalfWindow; c++) {
			int32 d2 = (cx - c) * (cx - c) + (cy - r) * (cy - r);
			if (disc_distance(d2) <= kDiscRadius)
				canvas.ClearPixel(c, r);
		}
	}
}


void
DrawDisc(PlainCanvas& canvas, const Mote& mote)
{
	if (!disc_may_land(canvas, mote))
		return;

	uint8 level = (uint8)(int32)((double)mote.glow * 250);
	int32 cx = (int32)mote.x;
	int32 cy = (int32)mote.y;
	for (int32 r = cy - kDiscHalfWindow; r <= cy + kDiscHalfWindow; r++) {
		for (int32 c = cx - kDiscHalfWindow; c <= cx + kDiscHalfWindow; c++) {
			int32 d2 = (cx - c) * (cx - c) + (cy - r) * (cy - r);
			float dist = disc_distance(d2);
			if (!(dist <= kDiscRadius))
				continue;

			double fraction = (double)dist / (double)kDiscRadius;
			uint8 white = (uint8)(int32)(250 - 250 * fraction);
			uint8 blue = (uint8)(int32)((double)level - (double)level * fraction);
			canvas.AddPixel(c, r, white, white, blue);
		}
	}
}


void
StepFrame(Mote motes[kMoteCount], PlainCanvas& canvas)
{
	for (int32 i = 0; i < kMoteCount; i++)
		EraseDisc(canvas, motes[i]);

	// The motion and the glow are the add-on's own; the forces are summed
	// here one partner at a time, in the order the frame promises.
	for (int32 j = 0; j < kMoteCount; j++) {
		::MoveMote(motes[j], canvas.Width(), canvas.Height());
		reference::GatherForces(motes, j);
		::StepGlow(motes[j]);
		DrawDisc(canvas, motes[j]);
	}
}

}	// namespace reference
