#ifndef DUSTGLOW_MOTE_SEEDING_H
#define DUSTGLOW_MOTE_SEEDING_H

#include "Mote.h"

// Gives every mote a whole-pixel position on a width x height canvas (two
// rand() draws a mote) and random reach, stiffness, weight and damping (four
// drand48() draws a mote), mote 0 first.
void SeedMotes(Mote motes[kMoteCount], int32 width, int32 height);

#endif	// DUSTGLOW_MOTE_SEEDING_H
