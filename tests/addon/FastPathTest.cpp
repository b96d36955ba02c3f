// The add-on's frame step, discs, forces and clear against the plain form in
// support/ReferenceField: every canvas byte (the fourth bytes and the row
// padding included) and every bit of every mote must come out the same.
#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <limits>
#include <memory>
#include <sstream>
#include <vector>

#include <Bitmap.h>
#include <BitmapGuard.h>

#include "Bytes.h"
#include "Canvas.h"
#include "FrameStep.h"
#include "MoteDisc.h"
#include "MoteMotion.h"
#include "MoteSeeding.h"
#include "ReferenceField.h"
#include "VectorUnits.h"


namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInfinity = std::numeric_limits<float>::infinity();


// The drand48() generator's state, so that both sides of a comparison can
// draw the same numbers.
struct UniformState {
	unsigned short words[3];

	static UniformState Current()
	{
		unsigned short scratch[3] = { 0, 0, 0 };
		UniformState state;
		memcpy(state.words, seed48(scratch), sizeof(state.words));
		seed48(state.words);
		return state;
	}

	void Restore() const
	{
		unsigned short copy[3] = { words[0], words[1], words[2] };
		seed48(copy);
	}

	bool operator==(const UniformState& other) const
	{
		return memcmp(words, other.words, sizeof(words)) == 0;
	}
};


std::string
MoteText(const Mote& mote)
{
	std::ostringstream out;
	out.precision(9);
	out << "x " << mote.x << " y " << mote.y << " glow " << mote.glow << " v (" << mote.vx
		<< ", " << mote.vy << ") force (" << mote.forceX << ", " << mote.forceY
		<< ") reach " << mote.reach << " weight " << mote.weight;
	return out.str();
}


::testing::AssertionResult
SameMotes(const Mote* fast, const Mote* plain, int32 count = kMoteCount)
{
	for (int32 i = 0; i < count; i++) {
		if (memcmp(&fast[i], &plain[i], sizeof(Mote)) != 0) {
			return ::testing::AssertionFailure() << "mote " << i << " differs:\n  fast  "
				<< MoteText(fast[i]) << "\n  plain " << MoteText(plain[i]);
		}
	}
	return ::testing::AssertionSuccess();
}


// The same picture twice: one bitmap for the add-on's canvas, one for the
// plain form. Pixels start out as noise, fourth bytes included, and the row
// padding keeps the kit's guard bytes.
class CanvasPair {
public:
	CanvasPair(int32 width, int32 height, uint32 noise)
		:
		fFastBitmap(BRect(0, 0, width - 1, height - 1), B_RGB32),
		fPlainBitmap(BRect(0, 0, width - 1, height - 1), B_RGB32),
		fFast(&fFastBitmap, width, height),
		fPlain(&fPlainBitmap, width, height)
	{
		Bytes bytes(noise);
		for (int32 y = 0; y < height; y++) {
			for (int32 x = 0; x < width * 4; x++) {
				uint8 value = (uint8)bytes.Next();
				fFast.Row(y)[x] = value;
				((uint8*)fPlainBitmap.Bits())[y * fPlainBitmap.BytesPerRow() + x] = value;
			}
		}
	}

	Canvas& Fast() { return fFast; }
	reference::PlainCanvas& Plain() { return fPlain; }

	::testing::AssertionResult Same() const
	{
		if (!BPrivate::BitmapGuard::Intact(&fFastBitmap))
			return ::testing::AssertionFailure() << "written past a row or the last row";

		const uint8* fast = (const uint8*)fFastBitmap.Bits();
		const uint8* plain = (const uint8*)fPlainBitmap.Bits();
		int32 length = fFastBitmap.BitsLength();
		for (int32 i = 0; i < length; i++) {
			if (fast[i] != plain[i]) {
				int32 stride = fFastBitmap.BytesPerRow();
				return ::testing::AssertionFailure() << "byte " << i % stride % 4
					<< " at (" << i % stride / 4 << ", " << i / stride << ") is "
					<< (int)fast[i] << ", not " << (int)plain[i];
			}
		}
		return ::testing::AssertionSuccess();
	}

private:
	BBitmap fFastBitmap;
	BBitmap fPlainBitmap;
	Canvas fFast;
	reference::PlainCanvas fPlain;
};


// A field run both ways from the same seeds, frame by frame.
class FieldPair {
public:
	FieldPair(int32 width, int32 height, unsigned seed)
		:
		fCanvases(width, height, seed),
		fFast(kMoteCount),
		fPlain(kMoteCount)
	{
		fCanvases.Fast().Clear();
		fCanvases.Plain().Clear();

		unsigned short uniform[3] = { 0x330e, (unsigned short)seed,
			(unsigned short)(seed >> 16) };
		seed48(uniform);
		srand(seed);
		SeedMotes(fFast.data(), width, height);
		fPlain = fFast;
	}

	// Puts mote i at (x, y) on both sides.
	void Place(int32 i, float x, float y)
	{
		fFast[i].x = fPlain[i].x = x;
		fFast[i].y = fPlain[i].y = y;
	}

	void Step()
	{
		UniformState before = UniformState::Current();
		StepFrame(fFast.data(), fCanvases.Fast());
		UniformState fastAfter = UniformState::Current();
		before.Restore();
		reference::StepFrame(fPlain.data(), fCanvases.Plain());
		fSameDraws = fastAfter == UniformState::Current();
	}

	::testing::AssertionResult Same() const
	{
		if (!fSameDraws)
			return ::testing::AssertionFailure() << "drew other numbers from drand48()";
		::testing::AssertionResult motes = SameMotes(fFast.data(), fPlain.data());
		if (!motes)
			return motes;
		return fCanvases.Same();
	}

	// Runs both sides frame by frame and stops at the first difference.
	::testing::AssertionResult Run(int32 frames)
	{
		::testing::AssertionResult seeded = Same();
		if (!seeded)
			return seeded << " (after seeding)";
		for (int32 frame = 1; frame <= frames; frame++) {
			Step();
			::testing::AssertionResult same = Same();
			if (!same)
				return same << " (frame " << frame << ")";
		}
		return ::testing::AssertionSuccess();
	}

	const std::vector<Mote>& Motes() const { return fFast; }

private:
	CanvasPair fCanvases;
	std::vector<Mote> fFast;
	std::vector<Mote> fPlain;
	bool fSameDraws = true;
};


// Each test runs once for every form of the loops (VectorUnits.h) that the
// processor can run: every form must give the plain form's bytes and bits.
class FastPath : public ::testing::TestWithParam<VectorWidth> {
protected:
	void SetUp() override
	{
		if (GetParam() > WidestVectors())
			GTEST_SKIP() << "this processor cannot run the wider loops";
		LimitVectors(GetParam());
	}

	void TearDown() override { LimitVectors(kAVX2Vectors); }
};


std::string
WidthName(const ::testing::TestParamInfo<VectorWidth>& info)
{
	return info.param == kBaselineVectors ? "Baseline" : "AVX2";
}


// Where the clipping and the skip of discs that cannot land are decided:
// on and around each edge, a fraction either side of the cut-offs, and
// positions that no canvas holds.
std::vector<float>
EdgePositions(int32 size)
{
	float edge = (float)size;
	return { -1e30f, -7.0f, -6.0f, -5.999f, -5.9f, -5.0f, -1.0f, -0.5f, -0.0f, 0.0f, 0.5f,
		edge - 1, edge - 0.5f, edge, edge + 0.25f, edge + 4.0f, edge + 4.999f, edge + 5.0f,
		edge + 5.9f, edge + 6.0f, 1e30f, kNaN, kInfinity, -kInfinity };
}

}	// namespace


TEST_P(FastPath, ClearKeepsTheFourthBytesAndThePadding)
{
	const int32 sizes[][2] = { {1, 1}, {2, 3}, {3, 1}, {5, 4}, {9, 5}, {13, 7}, {17, 2}, {31, 3},
		{640, 3} };
	for (const auto& size : sizes) {
		CanvasPair canvases(size[0], size[1], size[0] * 31 + size[1]);
		canvases.Fast().Clear();
		canvases.Plain().Clear();
		EXPECT_TRUE(canvases.Same()) << size[0] << "x" << size[1];
	}
}


TEST_P(FastPath, DiscsClipLikeSinglePixelWrites)
{
	// Every quarter-pixel position from beyond one corner to beyond the
	// other, on noise, with glow levels from none to past the reset.
	const int32 sizes[][2] = { {1, 1}, {2, 3}, {13, 7}, {24, 11} };
	Bytes random(7);
	for (const auto& size : sizes) {
		CanvasPair canvases(size[0], size[1], size[0] + 100 * size[1]);
		for (float y = -7.5f; y <= size[1] + 6.5f; y += 0.25f) {
			for (float x = -7.5f; x <= size[0] + 6.5f; x += 0.25f) {
				Mote mote = {};
				mote.x = x;
				mote.y = y;
				mote.glow = (float)(random.Next() % 1024) / 1000.0f;
				if (random.Next() % 2 == 0) {
					DrawDisc(canvases.Fast(), mote);
					reference::DrawDisc(canvases.Plain(), mote);
				} else {
					EraseDisc(canvases.Fast(), mote);
					reference::EraseDisc(canvases.Plain(), mote);
				}
				ASSERT_TRUE(canvases.Same()) << "disc at (" << x << ", " << y << ") on "
					<< size[0] << "x" << size[1];
			}
		}
	}
}


TEST_P(FastPath, DiscsAtPositionsNoCanvasHoldsDrawNothing)
{
	CanvasPair canvases(13, 7, 3);
	for (float x : EdgePositions(13)) {
		for (float y : EdgePositions(7)) {
			Mote mote = {};
			mote.x = x;
			mote.y = y;
			mote.glow = 0.5f;
			DrawDisc(canvases.Fast(), mote);
			reference::DrawDisc(canvases.Plain(), mote);
			EraseDisc(canvases.Fast(), mote);
			reference::EraseDisc(canvases.Plain(), mote);
			ASSERT_TRUE(canvases.Same()) << "disc at (" << x << ", " << y << ")";
		}
	}
}


TEST_P(FastPath, ForcesSumInIndexOrderWithEveryRounding)
{
	// Seeded fields, then the same with coincident motes, motes on top of
	// each other's positions after a move, and positions far off or not
	// numbers at all, which must be skipped exactly as the plain form does.
	for (unsigned seed = 1; seed <= 40; seed++) {
		std::vector<Mote> motes(kMoteCount);
		srand(seed);
		unsigned short uniform[3] = { 0x330e, (unsigned short)seed, 0 };
		seed48(uniform);
		SeedMotes(motes.data(), 50 + seed * 13, 40 + seed * 7);

		Bytes random(seed);
		std::vector<float> odd = EdgePositions(100);
		int32 changes = seed % 4 == 0 ? 0 : (int32)(seed % 13);
		for (int32 k = 0; k < changes; k++) {
			Mote& mote = motes[random.Next() % kMoteCount];
			switch (random.Next() % 4) {
				case 0:
					mote.x = motes[random.Next() % kMoteCount].x;
					mote.y = motes[random.Next() % kMoteCount].y;
					break;
				case 1:
					mote.x = odd[random.Next() % odd.size()];
					break;
				case 2:
					mote.y = odd[random.Next() % odd.size()];
					break;
				case 3:
					// Within the coincidence distance of another mote.
					mote = motes[random.Next() % kMoteCount];
					mote.x = nextafterf(mote.x, 1e9f);
					break;
			}
			if (random.Next() % 5 == 0)
				mote.reach = -mote.reach * 3;
		}

		// Sums start from whatever the forces hold, signed zeros included.
		if (seed % 3 == 0) {
			for (Mote& mote : motes) {
				mote.forceX = -0.0f;
				mote.forceY = seed % 2 == 0 ? -0.0f : 0.25f;
			}
		}

		for (int32 j = 0; j < kMoteCount; j++) {
			std::vector<Mote> fast = motes;
			std::vector<Mote> plain = motes;
			GatherForces(fast.data(), j);
			reference::GatherForces(plain.data(), j);
			ASSERT_TRUE(SameMotes(fast.data(), plain.data())) << "seed " << seed
				<< ", forces on mote " << j;
		}
	}
}


TEST_P(FastPath, ForcesOfAFieldOnOnePointAddNothing)
{
	// Every partner coincides: no term may touch the sums, not even the
	// sign of a zero.
	std::vector<Mote> motes(kMoteCount);
	srand(3);
	SeedMotes(motes.data(), 1, 1);
	for (Mote& mote : motes) {
		mote.forceX = -0.0f;
		mote.forceY = 0.0f;
	}
	for (int32 j = 0; j < kMoteCount; j++) {
		std::vector<Mote> fast = motes;
		std::vector<Mote> plain = motes;
		GatherForces(fast.data(), j);
		reference::GatherForces(plain.data(), j);
		ASSERT_TRUE(SameMotes(fast.data(), plain.data())) << "forces on mote " << j;
		ASSERT_TRUE(signbit(fast[j].forceX)) << "forces on mote " << j;
	}
}


TEST_P(FastPath, TinyCanvasesStayTheSameForThousandsOfFrames)
{
	// Every mote lies on one of a handful of pixels: constant overlaps,
	// saturation everywhere, and coincident motes from the first frame on.
	const int32 sizes[][2] = { {1, 1}, {2, 3}, {3, 2}, {13, 7} };
	for (const auto& size : sizes) {
		for (unsigned seed = 1; seed <= 3; seed++) {
			FieldPair field(size[0], size[1], seed * 1000 + size[0]);
			ASSERT_TRUE(field.Run(3000)) << size[0] << "x" << size[1] << " seed " << seed;
		}
	}
}


TEST_P(FastPath, SmallCanvasesStayTheSameThroughManyGlowCycles)
{
	const int32 sizes[][2] = { {97, 61}, {160, 90}, {31, 200} };
	for (const auto& size : sizes) {
		FieldPair field(size[0], size[1], size[0] * size[1]);
		ASSERT_TRUE(field.Run(3000)) << size[0] << "x" << size[1];

		// The run went through glow cycles, or it proved little.
		int32 glowing = 0;
		for (const Mote& mote : field.Motes())
			glowing += mote.glow > 0;
		EXPECT_GT(glowing, 0) << size[0] << "x" << size[1];
	}
}


TEST_P(FastPath, FullScreenCanvasesStayTheSame)
{
	FieldPair vga(640, 480, 42);
	EXPECT_TRUE(vga.Run(300)) << "640x480";

	FieldPair uhd(3840, 2160, 4242);
	EXPECT_TRUE(uhd.Run(3)) << "3840x2160";
}


TEST_P(FastPath, MotesAtAndBeyondTheEdgesStayTheSame)
{
	// Motes put on, just inside and just outside each edge, and at positions
	// that no canvas holds; the rest of the field must go on as the plain
	// form has it, and the odd motes must neither draw nor disturb others
	// where the plain form does not.
	const int32 sizes[][2] = { {13, 7}, {64, 48} };
	for (const auto& size : sizes) {
		std::vector<float> xs = EdgePositions(size[0]);
		std::vector<float> ys = EdgePositions(size[1]);
		for (size_t k = 0; k < xs.size(); k++) {
			FieldPair field(size[0], size[1], 77 + (unsigned)k);
			field.Place(0, xs[k], size[1] / 2.0f);
			field.Place(1, size[0] / 2.0f, ys[k]);
			field.Place(2, xs[k], ys[(k + 5) % ys.size()]);
			field.Place(71, xs[(k + 11) % xs.size()], ys[k]);
			ASSERT_TRUE(field.Run(200)) << size[0] << "x" << size[1] << ": motes at x "
				<< xs[k] << " and y " << ys[k];
		}
	}
}


INSTANTIATE_TEST_SUITE_P(Forms, FastPath, ::testing::Values(kBaselineVectors, kAVX2Vectors),
	WidthName);
