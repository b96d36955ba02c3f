#ifndef DUSTGLOW_FRAME_STEP_H
#define DUSTGLOW_FRAME_STEP_H

#include "Canvas.h"
#include "Mote.h"

// One frame of the field on its canvas: erases every disc of the previous
// frame, then moves each mote in index order, gathers its forces, advances
// its glow and draws its new disc. Presenting the canvas is left to the caller.
void StepFrame(Mote motes[kMoteCount], Canvas& canvas);

#endif	// DUSTGLOW_FRAME_STEP_H
