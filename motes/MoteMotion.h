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


// The force sums in two steps, for the frame step: the terms of every
// partner first, then their sums in index order. Nothing reads a mote's
// forces before its motion in the next frame, so the sums of two motes can
// wait until both have their terms, and are then done side by side.

// What the terms read of the other motes, widened to double once and kept
// in columns, so that neighbouring partners can be taken together. Whoever
// moves a mote or changes its reach or weight updates it here.
struct PartnerTable {
	double	x[kMoteCount] __attribute__((aligned(32)));
	double	y[kMoteCount] __attribute__((aligned(32)));
	double	reach[kMoteCount] __attribute__((aligned(32)));
	double	weight[kMoteCount] __attribute__((aligned(32)));

			void				Load(const Mote motes[kMoteCount]);

	inline	void				SetPosition(int32 i, const Mote& mote)
									{ x[i] = mote.x; y[i] = mote.y; }
	inline	void				SetProperties(int32 i, const Mote& mote)
									{ reach[i] = mote.reach; weight[i] = mote.weight; }
};

// The terms of each partner on two motes: what it adds to the first mote's
// horizontal and vertical force, then to the second's. A partner that does
// not count (the mote itself, or one that coincides with it) adds -0.0,
// which leaves every sum exactly as it was.
struct ForceTerms {
	double	terms[kMoteCount][4] __attribute__((aligned(32)));
};

// Fills one column (0 or 1) of the terms with those of every partner on
// the mote, whose own entry in the table must hold its current position.
// Two partners at a time, or four with AVX2 (VectorUnits.h).
void GatherTerms(const Mote& mote, const PartnerTable& partners, ForceTerms& terms,
	int32 column);

// Adds each column of terms to the forces of its mote, in index order,
// rounding each force to float after every partner.
void SumTerms(Mote& first, Mote& second, const ForceTerms& terms);

#endif	// DUSTGLOW_MOTE_MOTION_H
