#include "MoteSeeding.h"

#include <stdlib.h>


void
SeedMotes(Mote motes[kMoteCount], int32 width, int32 height)
{
	for (int32 i = 0; i < kMoteCount; i++) {
		Mote& mote = motes[i];
		mote.x = (float)(rand() % width);
		mote.y = (float)(rand() % height);
		// Not read before the first update writes them; set so that a
		// fresh mote reads as one at rest.
		mote.prevX = mote.x;
		mote.prevY = mote.y;
		mote.glow = 0;
		mote.vx = 0;
		mote.vy = 0;
		// A slight drift to the right and downwards on the first frame.
		mote.forceX = 0.01f;
		mote.forceY = 0.01f;
		mote.reach = (float)(drand48() * 10000 + 10000);
		mote.stiffness = (float)(-0.0002 - drand48() * 0.0002);
		mote.weight = (float)drand48();
		mote.damping = (float)(drand48() * 0.15 + 0.8);
	}
}
