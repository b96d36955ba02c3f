#ifndef DUSTGLOW_GLOW_CYCLE_H
#define DUSTGLOW_GLOW_CYCLE_H

#include "Mote.h"

// Advances the mote's glow by one frame: a mote past 0.9 resets with a new
// weight and reach; a calm mote (below 0.8) brightens at rest and fades when
// it moves; a charged mote (past 0.8) grows heavier and draws the others in.
void StepGlow(Mote& mote);

#endif	// DUSTGLOW_GLOW_CYCLE_H
