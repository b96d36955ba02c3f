#ifndef DUSTGLOW_MOTE_DISC_H
#define DUSTGLOW_MOTE_DISC_H

#include "Canvas.h"
#include "Mote.h"

// The disc of a mote: the pixels of the 11 x 11 window around its truncated
// position that lie within kDiscRadius of the centre, 109 in all.
static const float kDiscRadius = 6.0f;
static const int32 kDiscHalfWindow = 5;

// Sets every footprint pixel of the mote's disc to black.
void EraseDisc(Canvas& canvas, const Mote& mote);

// Adds the mote's disc: red and green fall off from 250 at the centre to 0 at
// the radius, blue likewise from glow x 250; each channel saturates at 255.
void DrawDisc(Canvas& canvas, const Mote& mote);

#endif	// DUSTGLOW_MOTE_DISC_H
