// The glow cycle: rest, charge, reset, and fading while moving.
#include <gtest/gtest.h>

#include <math.h>

#include "GlowCycle.h"


namespace {

Mote
RestingMote()
{
	Mote mote = {};
	mote.x = mote.prevX = 40;
	mote.y = mote.prevY = 30;
	mote.reach = 15000;
	mote.weight = 0.5f;
	return mote;
}

}	// namespace


TEST(GlowCycle, ARestingMoteChargesForTenFramesThenResets)
{
	Mote mote = RestingMote();
	for (int frame = 1; frame <= 80; frame++) {
		StepGlow(mote);
		ASSERT_LT((double)mote.glow, 0.8) << "frame " << frame;
	}
	EXPECT_NEAR(0.7999995, mote.glow, 1e-7);
	EXPECT_EQ(0.5f, mote.weight);
	EXPECT_EQ(15000, mote.reach);

	// Frame 81 passes 0.8 and charges in the same step.
	StepGlow(mote);
	EXPECT_NEAR(0.82, mote.glow, 1e-6);
	EXPECT_EQ((float)(0.5f * 1.2), mote.weight);
	EXPECT_EQ(15000 - 40000, mote.reach);

	for (int frame = 82; frame <= 90; frame++) {
		StepGlow(mote);
		EXPECT_LE((double)mote.glow, 0.91) << "frame " << frame;
	}
	EXPECT_GT((double)mote.glow, 0.9);
	EXPECT_NEAR(0.5 * pow(1.2, 10), mote.weight, 1e-5);
	EXPECT_EQ(15000 - 10 * 40000, mote.reach);

	// Frame 91 resets, and the mote is still at rest.
	StepGlow(mote);
	EXPECT_EQ((float)0.01, mote.glow);
	EXPECT_GE(mote.reach, 10000);
	EXPECT_LT(mote.reach, 20000);
	EXPECT_GE(mote.weight, 0);
	EXPECT_LT(mote.weight, 1);
}


TEST(GlowCycle, MovingHalvesTheGlowOfACalmMote)
{
	struct Case { float glow; float dx; float dy; float expected; };
	const Case cases[] = {
		{0.5f, 1, 0, 0.25f},		// one pixel is already a move
		{0.5f, 0, -1, 0.25f},
		{0.5f, 0.99f, -0.99f, (float)(0.5f + 0.01)},
		{0, 3, 3, 0},				// nothing to halve
	};
	for (const Case& c : cases) {
		Mote mote = RestingMote();
		mote.glow = c.glow;
		mote.x += c.dx;
		mote.y += c.dy;
		StepGlow(mote);
		EXPECT_EQ(c.expected, mote.glow) << c.glow << " moved " << c.dx << ", " << c.dy;
	}
}


TEST(GlowCycle, AChargedMoteKeepsChargingWhileItMoves)
{
	Mote mote = RestingMote();
	mote.glow = 0.85f;
	mote.x += 10;
	StepGlow(mote);
	EXPECT_EQ((float)(0.85f + 0.01), mote.glow);
	EXPECT_EQ((float)(0.5f * 1.2), mote.weight);
}


TEST(GlowCycle, NoGlowEscapesBothThresholds)
{
	// The float nearest to 0.8 lies just above it: not calm, so charged.
	Mote mote = RestingMote();
	mote.glow = 0.8f;
	ASSERT_GT((double)mote.glow, 0.8);
	StepGlow(mote);
	EXPECT_EQ((float)(0.8f + 0.01), mote.glow);
	EXPECT_EQ(15000 - 40000, mote.reach);

	// The float just below it is calm, and at rest it charges the same step.
	mote = RestingMote();
	mote.glow = nextafterf(0.8f, 0);
	ASSERT_LT((double)mote.glow, 0.8);
	StepGlow(mote);
	EXPECT_NEAR(0.82, mote.glow, 1e-6);
	EXPECT_EQ(15000 - 40000, mote.reach);
}
