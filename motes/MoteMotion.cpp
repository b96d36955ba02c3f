#include "MoteMotion.h"


void
MoveMote(Mote& mote, int32 width, int32 height)
{
	mote.prevX = mote.x;
	mote.prevY = mote.y;

	mote.vx = (float)((double)mote.vx + mote.forceX);
	mote.vy = (float)((double)mote.vy + mote.forceY);
	mote.vx = (float)((double)mote.vx * mote.damping);
	mote.vy = (float)((double)mote.vy * mote.damping);

	// The walls look at the position before the move, so a mote may end a
	// frame up to one step outside; the next frame brings it back.
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
		// Coincident motes exert nothing on each other.
		if (!(d2 > 0.000001))
			continue;

		// Pushed apart inside the preferred squared distance, pulled in beyond it.
		double reach = (double)mote.reach + (double)other.reach;
		mote.forceX = (float)((double)mote.forceX
			+ ((mote.stiffness * dx) / d2) * (d2 - reach) * other.weight);
		mote.forceY = (float)((double)mote.forceY
			+ ((mote.stiffness * dy) / d2) * (d2 - reach) * other.weight);
	}
}
