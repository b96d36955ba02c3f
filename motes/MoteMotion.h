#ifndef DUSTGLOW_MOTE_MOTION_H
#define DUSTGLOW_MOTE_MOTION_H

#include "Mote.h"

// Applies the forces gathered last frame, damps, bounces off the walls at 0
// and at width (or height), moves the mote one step and empties its forces.
void MoveMote(Mote& mote, int32 width, int32 height);

// Sums the pairwise spring forces of every other mote on mote j, in index
// order, with the others' values as they stand now: lower-numbered motes
// have already moved this frame, higher-numbered ones have not.
void GatherForces(Mote motes[kMoteCount], int32 j);

#endif	// DUSTGLOW_MOTE_MOTION_H
