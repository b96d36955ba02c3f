#include "MoteDisc.h"

#include <math.h>


// True when some footprint pixel of a disc centred at (x, y) can land on the
// canvas. Checked before any conversion to an integer, so that a mote far
// outside, or at a NaN position, neither converts out of range nor draws.
static bool
disc_may_land(const Canvas& canvas, const Mote& mote)
{
	// The centre truncates towards zero, so it is at least -5 exactly when
	// the position is above -6, and at most size + 4 when below size + 5.
	double low = -(kDiscHalfWindow + 1);
	return (double)mote.x > low && (double)mote.x < (double)canvas.Width() + kDiscHalfWindow
		&& (double)mote.y > low && (double)mote.y < (double)canvas.Height() + kDiscHalfWindow;
}


// Distance of a window pixel from the centre, as the disc measures it.
static float
disc_distance(int32 d2)
{
	return (float)sqrt((double)d2);
}


void
EraseDisc(Canvas& canvas, const Mote& mote)
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
DrawDisc(Canvas& canvas, const Mote& mote)
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
