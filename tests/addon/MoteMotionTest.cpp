// Seeding, motion, walls and the pairwise forces of the mote field.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <vector>

#include "MoteMotion.h"
#include "MoteSeeding.h"


namespace {

// A mote at rest at (x, y) with neutral properties.
Mote
MoteAt(float x, float y)
{
	Mote mote = {};
	mote.x = x;
	mote.y = y;
	mote.prevX = x;
	mote.prevY = y;
	mote.reach = 10000;
	mote.stiffness = -0.0003f;
	mote.weight = 0.5f;
	mote.damping = 1;
	return mote;
}


// A field in which every mote but j and m sits on j, where it exerts nothing.
std::vector<Mote>
PairField(const Mote& j, const Mote& m)
{
	std::vector<Mote> motes(kMoteCount, j);
	motes[1] = m;
	return motes;
}

}	// namespace


TEST(MoteSeeding, GivesWholePositionsInsideTheCanvas)
{
	srand(77);
	for (int32 size : {1, 2, 7, 640}) {
		Mote motes[kMoteCount];
		SeedMotes(motes, size, size + 3);
		for (const Mote& mote : motes) {
			EXPECT_EQ((float)(int)mote.x, mote.x);
			EXPECT_EQ((float)(int)mote.y, mote.y);
			EXPECT_GE(mote.x, 0);
			EXPECT_LE(mote.x, size - 1);
			EXPECT_GE(mote.y, 0);
			EXPECT_LE(mote.y, size + 2);
			EXPECT_GE(mote.reach, 10000);
			EXPECT_LT(mote.reach, 20000);
			EXPECT_LE(mote.stiffness, -0.0002f);
			EXPECT_GT(mote.stiffness, -0.0004f);
			EXPECT_GE(mote.damping, 0.8f);
			EXPECT_LT(mote.damping, 0.95f);
		}
	}
}


TEST(MoteSeeding, DrawsTwoIntegersAndFourUniformsPerMoteInOrder)
{
	srand(123);
	unsigned short state[3] = { 0x1234, 0x5678, 0x9abc };
	seed48(state);
	Mote motes[kMoteCount];
	SeedMotes(motes, 640, 480);
	int nextRand = rand();
	double nextUniform = drand48();

	srand(123);
	seed48(state);
	for (int i = 0; i < kMoteCount; i++) {
		EXPECT_EQ((float)(rand() % 640), motes[i].x);
		EXPECT_EQ((float)(rand() % 480), motes[i].y);
		EXPECT_EQ((float)(drand48() * 10000 + 10000), motes[i].reach);
		EXPECT_EQ((float)(-0.0002 - drand48() * 0.0002), motes[i].stiffness);
		EXPECT_EQ((float)drand48(), motes[i].weight);
		EXPECT_EQ((float)(drand48() * 0.15 + 0.8), motes[i].damping);
	}
	EXPECT_EQ(rand(), nextRand);
	EXPECT_EQ(drand48(), nextUniform);
}


TEST(MoteMotion, FirstFrameDriftsByTheSeededForceTimesDamping)
{
	srand(9);
	Mote motes[kMoteCount];
	SeedMotes(motes, 640, 480);
	for (Mote& mote : motes) {
		float x = mote.x;
		MoveMote(mote, 640, 480);
		float drift = (float)(0.01f * (double)mote.damping);
		EXPECT_EQ(drift, mote.vx);
		EXPECT_EQ(drift, mote.vy);
		EXPECT_EQ((float)(x + (double)drift), mote.x);
		EXPECT_EQ(x, mote.prevX);
		EXPECT_EQ(0, mote.forceX);
		EXPECT_EQ(0, mote.forceY);
	}
}


TEST(MoteMotion, BouncesOffWallsAtZeroAndAtTheFullSize)
{
	struct Case { float x; float vx; float endX; float endVx; };
	const float width = 100;
	const Case cases[] = {
		{-0.5f, -2, 2, 2},					// reflected, then moved
		{0, -1, -1, -1},					// exactly on the wall: not reflected
		{width, 1, width + 1, 1},			// likewise on the far wall
		{width + 0.25f, 1, width - 1, -1},	// beyond it: set onto it, then moved
		{50, 3, 53, 3},
	};
	for (const Case& c : cases) {
		Mote mote = MoteAt(c.x, 10);
		mote.vx = c.vx;
		MoveMote(mote, 100, 20);
		EXPECT_EQ(c.endX, mote.x) << "from x " << c.x;
		EXPECT_EQ(c.endVx, mote.vx) << "from x " << c.x;

		// The same along y.
		Mote vertical = MoteAt(10, c.x);
		vertical.vy = c.vx;
		MoveMote(vertical, 20, 100);
		EXPECT_EQ(c.endX, vertical.y) << "from y " << c.x;
		EXPECT_EQ(c.endVx, vertical.vy) << "from y " << c.x;
	}
}


TEST(MoteMotion, AppliesLastFramesForceBeforeDamping)
{
	Mote mote = MoteAt(10, 10);
	mote.vx = 1;
	mote.forceX = 0.5f;
	mote.damping = 0.5f;
	MoveMote(mote, 100, 100);
	EXPECT_EQ(0.75f, mote.vx);
	EXPECT_EQ(10.75f, mote.x);
}


TEST(MoteForces, PushInsideTheReachAndPullBeyondIt)
{
	Mote j = MoteAt(100, 100);
	Mote m = MoteAt(200, 100);

	std::vector<Mote> near = PairField(j, m);
	GatherForces(near.data(), 0);
	EXPECT_NEAR(-0.015, near[0].forceX, 1e-9);
	EXPECT_EQ(0, near[0].forceY);

	m.x = 300;
	std::vector<Mote> far = PairField(j, m);
	GatherForces(far.data(), 0);
	EXPECT_NEAR(0.015, far[0].forceX, 1e-9);
	EXPECT_EQ(0, far[0].forceY);
}


TEST(MoteForces, UseTheOwnStiffnessAndThePartnersWeight)
{
	Mote j = MoteAt(100, 100);
	Mote m = MoteAt(100, 200);
	j.weight = 0;
	m.stiffness = 0;
	std::vector<Mote> motes = PairField(j, m);

	GatherForces(motes.data(), 0);
	EXPECT_NEAR(-0.015, motes[0].forceY, 1e-9);
	GatherForces(motes.data(), 1);
	EXPECT_EQ(0, motes[1].forceY);
}


TEST(MoteForces, CoincidentMotesExertNothing)
{
	std::vector<Mote> motes(kMoteCount, MoteAt(5, 5));
	// Closer than 0.001 pixels counts as coincident too.
	motes[3].x = 5.0004f;
	for (int32 j = 0; j < kMoteCount; j++)
		GatherForces(motes.data(), j);
	for (const Mote& mote : motes) {
		EXPECT_EQ(0, mote.forceX);
		EXPECT_EQ(0, mote.forceY);
	}
}
