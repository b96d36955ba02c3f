#include "MoteMotion.h"

#include <string.h>

#include "VectorUnits.h"


// Doubles side by side, handled at once where the processor has registers
// for them. GCC's vector extension needs no header and falls back to plain
// code elsewhere.
typedef double DoublePair __attribute__((vector_size(16)));
typedef int64 MaskPair __attribute__((vector_size(16)));
typedef float FloatPair __attribute__((vector_size(8)));
typedef double DoubleQuad __attribute__((vector_size(32)));
typedef int64 MaskQuad __attribute__((vector_size(32)));
typedef float FloatQuad __attribute__((vector_size(16)));

// Below this squared distance two motes count as coincident.
static const double kCoincident = 0.000001;


void
MoveMote(Mote& mote, int32 width, int32 height)
{
	mote.prevX = mote.x;
	mote.prevY = mote.y;

	mote.vx = (float)((double)mote.vx + mote.forceX);
	mote.vy = (float)((double)mote.vy + mote.forceY);
	mote.vx = (float)((double)mote.vx * mote.damping);
	mote.vy = (float)((double)mote.vy * mote.damping);

	// The walls look at the position before the move, so a mote may end a
	// frame up to one step outside; the next frame brings it back.
	if (mote.x < 0) {
		mote.x = 0;
		mote.vx = -mote.vx;
	}
	if ((double)mote.x > (double)width) {
		mote.x = (float)width;
		mote.vx = -mote.vx;
	}
	if (mote.y < 0) {
		mote.y = 0;
		mote.vy = -mote.vy;
	}
	if ((double)mote.y > (double)height) {
		mote.y = (float)height;
		mote.vy = -mote.vy;
	}

	mote.x = (float)((double)mote.x + mote.vx);
	mote.y = (float)((double)mote.y + mote.vy);

	mote.forceX = 0;
	mote.forceY = 0;
}


void
PartnerTable::Load(const Mote motes[kMoteCount])
{
	for (int32 i = 0; i < kMoteCount; i++) {
		SetPosition(i, motes[i]);
		SetProperties(i, motes[i]);
	}
}


// #pragma mark - pair terms


// Neighbouring doubles of the partner table or of the terms, aligned to the
// size of the vector at every index the loops use.
template<typename Vector>
static inline __attribute__((always_inline)) void
load(Vector& vector, const double* from)
{
	memcpy(&vector, __builtin_assume_aligned(from, sizeof(Vector)), sizeof(Vector));
}


template<typename Vector>
static inline __attribute__((always_inline)) void
store(double* to, const Vector& vector)
{
	memcpy(__builtin_assume_aligned(to, sizeof(Vector)), &vector, sizeof(Vector));
}


// A mote's own values as its pair terms read them, each in every lane, and
// the constants of the loop.
template<typename Vector>
struct OwnValues {
	Vector	x;
	Vector	y;
	Vector	reach;
	Vector	stiffness;
	Vector	coincident;
	Vector	nothing;

	inline void Set(const Mote& mote)
	{
		for (uint32 lane = 0; lane < sizeof(Vector) / sizeof(double); lane++) {
			x[lane] = mote.x;
			y[lane] = mote.y;
			reach[lane] = mote.reach;
			stiffness[lane] = mote.stiffness;
			coincident[lane] = kCoincident;
			nothing[lane] = -0.0;
		}
	}
};


// The terms of the partners in the lanes of one vector, from m on: how much
// each adds to the horizontal and to the vertical force. Pushed apart
// inside the preferred squared distance, pulled in beyond it; the
// operations and their order are those of the one-pair formula. A partner
// that coincides with the mote, or is the mote itself (at distance 0, or at
// a NaN one), adds -0.0 instead.
template<typename Vector>
static inline __attribute__((always_inline)) void
pair_terms(const OwnValues<Vector>& own, const PartnerTable& partners, int32 m,
	Vector& termX, Vector& termY)
{
	Vector otherX;
	Vector otherY;
	Vector otherReach;
	Vector weight;
	load(otherX, partners.x + m);
	load(otherY, partners.y + m);
	load(otherReach, partners.reach + m);
	load(weight, partners.weight + m);

	Vector dx = own.x - otherX;
	Vector dy = own.y - otherY;
	Vector d2 = dx * dx + dy * dy;
	Vector excess = d2 - (own.reach + otherReach);
	termX = ((own.stiffness * dx) / d2) * excess * weight;
	termY = ((own.stiffness * dy) / d2) * excess * weight;

	termX = d2 > own.coincident ? termX : own.nothing;
	termY = d2 > own.coincident ? termY : own.nothing;
}


// Two partners at a time, each pair of lanes stored as one partner's
// (horizontal, vertical) terms in the mote's column.
static void
gather_two_at_a_time(const Mote& mote, const PartnerTable& partners, ForceTerms& terms,
	int32 column)
{
	OwnValues<DoublePair> own;
	own.Set(mote);
	for (int32 m = 0; m < kMoteCount; m += 2) {
		DoublePair termX;
		DoublePair termY;
		pair_terms(own, partners, m, termX, termY);
		store(terms.terms[m] + 2 * column, __builtin_shuffle(termX, termY, (MaskPair){ 0, 2 }));
		store(terms.terms[m + 1] + 2 * column,
			__builtin_shuffle(termX, termY, (MaskPair){ 1, 3 }));
	}
}


// Adds one partner's terms to a force and rounds each part to float, as
// storing it in a float field would.
static inline __attribute__((always_inline)) void
add_term(DoublePair& force, const double* term)
{
	DoublePair added;
	load(added, term);
	force = __builtin_convertvector(__builtin_convertvector(force + added, FloatPair),
		DoublePair);
}


static void
sum_two_at_a_time(Mote& first, Mote& second, const ForceTerms& terms)
{
	DoublePair firstForce = { first.forceX, first.forceY };
	DoublePair secondForce = { second.forceX, second.forceY };
#pragma GCC unroll 4
	for (int32 m = 0; m < kMoteCount; m++) {
		add_term(firstForce, terms.terms[m]);
		add_term(secondForce, terms.terms[m] + 2);
	}
	first.forceX = (float)firstForce[0];
	first.forceY = (float)firstForce[1];
	second.forceX = (float)secondForce[0];
	second.forceY = (float)secondForce[1];
}


#if HAS_AVX2_FORMS

// Four partners at a time. The cheapest interleaving of the lanes gives the
// first and third partners' terms in one vector and the second and fourth
// in the other, each half going to its partner's row.
FOR_AVX2 static void
gather_four_at_a_time(const Mote& mote, const PartnerTable& partners, ForceTerms& terms,
	int32 column)
{
	OwnValues<DoubleQuad> own;
	own.Set(mote);
#pragma GCC unroll 2
	for (int32 m = 0; m < kMoteCount; m += 4) {
		DoubleQuad termX;
		DoubleQuad termY;
		pair_terms(own, partners, m, termX, termY);
		DoubleQuad even = __builtin_shuffle(termX, termY, (MaskQuad){ 0, 4, 2, 6 });
		DoubleQuad odd = __builtin_shuffle(termX, termY, (MaskQuad){ 1, 5, 3, 7 });
		memcpy(terms.terms[m] + 2 * column, &even, sizeof(DoublePair));
		memcpy(terms.terms[m + 1] + 2 * column, &odd, sizeof(DoublePair));
		memcpy(terms.terms[m + 2] + 2 * column, (const double*)&even + 2, sizeof(DoublePair));
		memcpy(terms.terms[m + 3] + 2 * column, (const double*)&odd + 2, sizeof(DoublePair));
	}
}


// Both motes' sums in the four lanes of one vector.
FOR_AVX2 static void
sum_four_at_a_time(Mote& first, Mote& second, const ForceTerms& terms)
{
	DoubleQuad forces = { first.forceX, first.forceY, second.forceX, second.forceY };
#pragma GCC unroll 4
	for (int32 m = 0; m < kMoteCount; m++) {
		DoubleQuad added;
		load(added, terms.terms[m]);
		// Widened lane by lane: GCC makes one instruction of this, where it
		// makes four of a conversion of the whole vector.
		FloatQuad rounded = __builtin_convertvector(forces + added, FloatQuad);
		forces[0] = rounded[0];
		forces[1] = rounded[1];
		forces[2] = rounded[2];
		forces[3] = rounded[3];
	}
	first.forceX = (float)forces[0];
	first.forceY = (float)forces[1];
	second.forceX = (float)forces[2];
	second.forceY = (float)forces[3];
}


#endif	// HAS_AVX2_FORMS


void
GatherTerms(const Mote& mote, const PartnerTable& partners, ForceTerms& terms, int32 column)
{
#if HAS_AVX2_FORMS
	if (VectorsInUse() == kAVX2Vectors) {
		gather_four_at_a_time(mote, partners, terms, column);
		return;
	}
#endif
	gather_two_at_a_time(mote, partners, terms, column);
}


void
SumTerms(Mote& first, Mote& second, const ForceTerms& terms)
{
#if HAS_AVX2_FORMS
	if (VectorsInUse() == kAVX2Vectors) {
		sum_four_at_a_time(first, second, terms);
		return;
	}
#endif
	sum_two_at_a_time(first, second, terms);
}


void
GatherForces(Mote motes[kMoteCount], int32 j)
{
	PartnerTable partners;
	partners.Load(motes);
	ForceTerms terms;
	GatherTerms(motes[j], partners, terms, 0);
	GatherTerms(motes[j], partners, terms, 1);
	Mote twin = motes[j];
	SumTerms(motes[j], twin, terms);
}
