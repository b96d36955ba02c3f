// One mote of the field. Every field is a 32-bit float; arithmetic on them
// is done in double and rounded to float only when a field is stored.
#ifndef DUSTGLOW_MOTE_H
#define DUSTGLOW_MOTE_H

#include <stddef.h>

#include <SupportDefs.h>


static const int32 kMoteCount = 72;

struct Mote {
	float	x;			// position, pixels from the canvas's top-left corner
	float	y;
	float	prevX;		// position at the start of the latest update
	float	prevY;
	float	glow;		// 0 up to about 0.91
	float	vx;			// velocity, pixels per frame
	float	vy;
	float	forceX;		// gathered in the latest update, applied in the next
	float	forceY;
	float	reach;		// share of the preferred squared distance to a partner
	float	stiffness;	// coupling of the forces on this mote, negative
	float	weight;		// how strongly this mote acts on the others
	float	damping;	// velocity factor per frame
};

static_assert(sizeof(float) == 4, "mote fields are 32-bit floats");
static_assert(sizeof(Mote) == 52, "a mote is thirteen packed floats");
static_assert(offsetof(Mote, x) == 0 && offsetof(Mote, y) == 4
	&& offsetof(Mote, prevX) == 8 && offsetof(Mote, prevY) == 12
	&& offsetof(Mote, glow) == 16 && offsetof(Mote, vx) == 20
	&& offsetof(Mote, vy) == 24 && offsetof(Mote, forceX) == 28
	&& offsetof(Mote, forceY) == 32 && offsetof(Mote, reach) == 36
	&& offsetof(Mote, stiffness) == 40 && offsetof(Mote, weight) == 44
	&& offsetof(Mote, damping) == 48, "mote fields in their stated order");

#endif	// DUSTGLOW_MOTE_H
