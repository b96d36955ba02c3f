#include "GlowCycle.h"

#include <math.h>
#include <stdlib.h>


void
StepGlow(Mote& mote)
{
	// Each test sees the glow that the one before it left, and all of them
	// compare in double, so no stored glow escapes both 0.8 tests.
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
