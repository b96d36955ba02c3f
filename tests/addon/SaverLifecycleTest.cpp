// The saver as the host drives it: settings panel, start, draw, stop, in the
// host's calling order and out of it.
#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>

#include <memory>
#include <vector>

#include <StringView.h>

#include "Dustglow.h"
#include "ViewSurface.h"


namespace {

// A full-screen view with pixels the saver's presents land in.
class ScreenView {
public:
	ScreenView(BRect frame, int32 width, int32 height)
		:
		fView(frame, "screen", B_FOLLOW_ALL, B_WILL_DRAW),
		fWidth(width),
		fPixels((size_t)width * height * 4, 0x77)
	{
		BPrivate::ViewSurface::Attach(&fView, fPixels.data(), width * 4, width, height);
	}

	~ScreenView() { BPrivate::ViewSurface::Detach(&fView); }

	BView* view() { return &fView; }
	int32 presents() const { return BPrivate::ViewSurface::DrawCount(&fView); }
	const std::vector<uint8>& pixels() const { return fPixels; }

private:
	BView fView;
	int32 fWidth;
	std::vector<uint8> fPixels;
};


std::unique_ptr<Dustglow>
NewSaver()
{
	BMessage message;
	return std::make_unique<Dustglow>(&message, 1);
}


// The next value rand() would give after srand(seed) and `draws` draws.
int
RandAfter(unsigned seed, int draws)
{
	srand(seed);
	for (int i = 0; i < draws; i++)
		rand();
	return rand();
}

}	// namespace


TEST(SaverPreview, IsDeclinedWithNothingElseHappening)
{
	auto saver = NewSaver();
	ScreenView preview(BRect(0, 0, 79, 59), 80, 60);
	bigtime_t tickBefore = saver->TickSize();

	srand(4242);
	EXPECT_EQ(B_ERROR, saver->StartSaver(preview.view(), true));
	// The integer generator was not reseeded.
	int next = rand();
	EXPECT_EQ(RandAfter(4242, 0), next);
	EXPECT_EQ(nullptr, saver->CanvasBitmap());
	EXPECT_EQ(tickBefore, saver->TickSize());

	std::vector<uint8> before = preview.pixels();
	saver->Draw(preview.view(), 0);
	saver->Draw(preview.view(), 1);
	EXPECT_EQ(0, preview.presents());
	EXPECT_EQ(before, preview.pixels());
}


TEST(SaverPreview, DoesNotDisturbARunningSaver)
{
	auto saver = NewSaver();
	ScreenView screen(BRect(0, 0, 63, 47), 64, 48);
	ASSERT_EQ(B_OK, saver->StartSaver(screen.view(), false));
	const BBitmap* canvas = saver->CanvasBitmap();

	ScreenView preview(BRect(0, 0, 79, 59), 80, 60);
	EXPECT_EQ(B_ERROR, saver->StartSaver(preview.view(), true));
	EXPECT_EQ(canvas, saver->CanvasBitmap());
	saver->StopSaver();
}


TEST(SaverDraw, DoesNothingWhileIdle)
{
	auto saver = NewSaver();
	ScreenView screen(BRect(0, 0, 31, 31), 32, 32);
	std::vector<uint8> before = screen.pixels();

	saver->Draw(screen.view(), 0);
	EXPECT_EQ(0, screen.presents());

	ASSERT_EQ(B_OK, saver->StartSaver(screen.view(), false));
	saver->Draw(screen.view(), 0);
	EXPECT_EQ(1, screen.presents());
	saver->StopSaver();
	EXPECT_EQ(nullptr, saver->CanvasBitmap());

	std::vector<uint8> afterRun = screen.pixels();
	saver->Draw(screen.view(), 1);
	saver->StopSaver();
	saver->Draw(screen.view(), 2);
	EXPECT_EQ(1, screen.presents());
	EXPECT_EQ(afterRun, screen.pixels());
	EXPECT_NE(before, afterRun);
}


TEST(SaverStart, MeasuresTheViewTruncatingTowardsZero)
{
	struct Case { BRect bounds; int32 width; int32 height; };
	const Case cases[] = {
		{BRect(0, 0, 639, 479), 640, 480},
		{BRect(0, 0, 639.7f, 479), 640, 480},
		{BRect(0, 0, 639, 479.99f), 640, 480},
		{BRect(0, 0, 0, 0), 1, 1},
	};
	for (const Case& c : cases) {
		auto saver = NewSaver();
		ScreenView screen(c.bounds, 640, 480);
		ASSERT_EQ(B_OK, saver->StartSaver(screen.view(), false));
		EXPECT_EQ(c.width, saver->Width());
		EXPECT_EQ(c.height, saver->Height());
		BRect canvas = saver->CanvasBitmap()->Bounds();
		EXPECT_EQ(BRect(0, 0, c.width - 1, c.height - 1), canvas);
		saver->StopSaver();
	}
}


TEST(SaverStart, ClearsTheCanvasToBlackAndAsksForA40msTick)
{
	auto saver = NewSaver();
	ScreenView screen(BRect(0, 0, 99, 49), 100, 50);
	ASSERT_EQ(B_OK, saver->StartSaver(screen.view(), false));
	EXPECT_EQ(40000, saver->TickSize());

	const BBitmap* canvas = saver->CanvasBitmap();
	const uint8* bits = (const uint8*)canvas->Bits();
	int colourBytes = 0;
	for (int y = 0; y < 50; y++) {
		for (int x = 0; x < 100; x++) {
			const uint8* pixel = bits + y * canvas->BytesPerRow() + x * 4;
			colourBytes += pixel[0] != 0 || pixel[1] != 0 || pixel[2] != 0;
			// A new bitmap's fourth bytes are not zero; the clear keeps them.
			EXPECT_EQ(0xff, pixel[3]);
		}
	}
	EXPECT_EQ(0, colourBytes);
	saver->StopSaver();
}


TEST(SaverStart, ReseedsTheIntegerGeneratorFromTheClock)
{
	auto saver = NewSaver();
	ScreenView screen(BRect(0, 0, 639, 479), 640, 480);
	time_t now = time(NULL);
	ASSERT_EQ(B_OK, saver->StartSaver(screen.view(), false));
	// Unless the second turned over during the start, the positions are the
	// first rand() draws after srand(time).
	if (time(NULL) == now) {
		srand((unsigned)now);
		int x = rand() % 640;
		int y = rand() % 480;
		EXPECT_EQ((float)x, saver->Motes()[0].x);
		EXPECT_EQ((float)y, saver->Motes()[0].y);
	}
	saver->StopSaver();
}


TEST(SaverStart, DeclinesViewsThatCannotHoldACanvas)
{
	const BRect unusable[] = {
		BRect(0, 0, -1, 479), BRect(0, 0, 639, -0.5f), BRect(10, 10, 9.5f, 20),
		BRect(0, 0, NAN, 479), BRect(0, 0, 639, INFINITY), BRect(-INFINITY, 0, 0, 10),
		BRect(0, 0, 99999, 99999), BRect(0, 0, 3e9f, 10),
	};
	for (const BRect& bounds : unusable) {
		auto saver = NewSaver();
		ScreenView screen(bounds, 16, 16);
		bigtime_t tickBefore = saver->TickSize();
		EXPECT_EQ(B_ERROR, saver->StartSaver(screen.view(), false))
			<< bounds.right << " x " << bounds.bottom;
		EXPECT_EQ(nullptr, saver->CanvasBitmap());
		EXPECT_EQ(tickBefore, saver->TickSize());
		saver->Draw(screen.view(), 0);
		EXPECT_EQ(0, screen.presents());
	}
}


TEST(SaverStart, WhileRunningReplacesTheRun)
{
	auto saver = NewSaver();
	ScreenView small(BRect(0, 0, 31, 31), 32, 32);
	ScreenView large(BRect(0, 0, 63, 47), 64, 48);
	ASSERT_EQ(B_OK, saver->StartSaver(small.view(), false));
	ASSERT_EQ(B_OK, saver->StartSaver(large.view(), false));
	EXPECT_EQ(64, saver->Width());
	EXPECT_EQ(BRect(0, 0, 63, 47), saver->CanvasBitmap()->Bounds());
	saver->StopSaver();
}


TEST(SaverConfig, AddsTheLabelAfterTheViewsChildren)
{
	auto saver = NewSaver();
	BView settings(BRect(0, 0, 399, 299), "settings", B_FOLLOW_ALL, B_WILL_DRAW);
	BView* first = new BView(BRect(0, 0, 9, 9), "first", B_FOLLOW_NONE, 0);
	BView* second = new BView(BRect(0, 0, 9, 9), "second", B_FOLLOW_NONE, 0);
	settings.AddChild(first);
	settings.AddChild(second);

	saver->StartConfig(&settings);
	ASSERT_EQ(3, settings.CountChildren());
	EXPECT_EQ(first, settings.ChildAt(0));
	EXPECT_EQ(second, settings.ChildAt(1));

	BStringView* label = dynamic_cast<BStringView*>(settings.ChildAt(2));
	ASSERT_NE(nullptr, label);
	EXPECT_STREQ("No configuration options...yet", label->Text());
	EXPECT_EQ(BRect(10, 10, 200, 35), label->Frame());
	EXPECT_STREQ("", label->Name());
	EXPECT_EQ(0x1212u, label->ResizingMode());
	EXPECT_EQ(0x20000000u, label->Flags());
	EXPECT_EQ(&settings, label->Parent());
}
