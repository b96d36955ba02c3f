#include "FrameStep.h"

#include "GlowCycle.h"
#include "MoteDisc.h"
#include "MoteMotion.h"


void
StepFrame(Mote motes[kMoteCount], Canvas& canvas)
{
	// The discs stand where the previous frame drew them.
	for (int32 i = 0; i < kMoteCount; i++)
		EraseDisc(canvas, motes[i]);

	// In place, one mote after the other: a mote's forces see the new state
	// of the motes before it and the old state of those after it.
	for (int32 j = 0; j < kMoteCount; j++) {
		MoveMote(motes[j], canvas.Width(), canvas.Height());
		GatherForces(motes, j);
		StepGlow(motes[j]);
		DrawDisc(canvas, motes[j]);
	}
}
