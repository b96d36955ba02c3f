#include "ReferenceField.h"

#include <math.h>
#include <stdlib.h>


namespace reference {

static const float kDiscRadius = 6.0f;
static const int32 kDiscHalfWindow = 5;


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
SeedMotes(Mote motes[kMoteCount], int32 width, int32 height)
{
	for (int32 i = 0; i < kMoteCount; i++) {
		Mote& mote = motes[i];
		mote.x = (float)(rand() % width);
		mote.y = (float)(rand() % height);
		mote.prevX = mote.x;
		mote.prevY = mote.y;
		mote.glow = 0;
		mote.vx = 0;
		mote.vy = 0;
		mote.forceX = 0.01f;
		mote.forceY = 0.01f;
		mote.reach = (float)(drand48() * 10000 + 10000);
		mote.stiffness = (float)(-0.0002 - drand48() * 0.0002);
		mote.weight = (float)drand48();
		mote.damping = (float)(drand48() * 0.15 + 0.8);
	}
}


void
MoveMote(Mote& mote, int32 width, int32 height)
{
	mote.prevX = mote.x;
	mote.prevY = mote.y;

	mote.vx = (float)((double)mote.vx + mote.forceX);
	mote.vy = (float)((double)mote.vy + mote.forceY);
	mote.vx = (float)((double)mote.vx * mote.damping);
	mote.vy = (float)((double)mote.vy * mote.damping);

	if (mote.x < 0) {
		mote.x = 0;
		mote.vx = -mote.vx;
	}
	if ((double)mote.x > (double)width) {
		mote.x = (float)width;
		mote.vx = -mote.vx;
	}
	if (mote.y < 0) {
		mote.y = 0;
		mote.vy = -mote.vy;
	}
	if ((double)mote.y > (double)height) {
		mote.y = (float)height;
		mote.vy = -mote.vy;
	}

	mote.x = (float)((double)mote.x + mote.vx);
	mote.y = (float)((double)mote.y + mote.vy);

	mote.forceX = 0;
	mote.forceY = 0;
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


void
StepGlow(Mote& mote)
{
	if ((double)mote.glow > 0.9) {
		mote.weight = (float)drand48();
		mote.reach = (float)(drand48() * 10000 + 10000);
		mote.glow = 0;
	}

	if ((double)mote.glow < 0.8) {
		if (fabs((double)mote.x - (double)mote.prevX) < 1
			&& fabs((double)mote.y - (double)mote.prevY) < 1)
			mote.glow = (float)((double)mote.glow + 0.01);
		else if (mote.glow > 0)
			mote.glow = mote.glow * 0.5f;
	}

	if ((double)mote.glow > 0.8) {
		mote.weight = (float)((double)mote.weight * 1.2);
		mote.reach = mote.reach - 40000.0f;
		mote.glow = (float)((double)mote.glow + 0.01);
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

	for (int32 j = 0; j < kMoteCount; j++) {
		MoveMote(motes[j], canvas.Width(), canvas.Height());
		GatherForces(motes, j);
		StepGlow(motes[j]);
		DrawDisc(canvas, motes[j]);
	}
}

}	// namespace reference
