// Drives the Dustglow saver through call sequences decoded from the input, in
// the host's calling order and out of it: the settings panel, starts on views
// of every kind of size (empty, negative, fractional, not a number, huge), in
// full screen and preview, runs of draws, stops, restarts, deletion and a new
// saver. After every call: nothing written outside the canvas, the motes of a
// run finite, and each view's pixels changed only by a present of the canvas.
#include <fuzzer/FuzzedDataProvider.h>

#include <float.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <memory>
#include <vector>

#include <BitmapGuard.h>
#include <StringView.h>
#include <ViewSurface.h>

#include "Dustglow.h"


namespace {

// The clock the saver seeds its generator from, chosen by the input so that
// an input always replays the same run.
time_t sClock;

// Views show at most this many pixels a side: a present is checked pixel by
// pixel, and the canvas beyond is clipped away like any other.
const int32 kMaxSurfaceSide = 96;
// Canvases from 8 MiB up to the size the kit refuses are real, but take long
// to allocate and clear under the sanitizers; such starts are skipped.
const double kMaxCanvasPixels = 2097152.0;
const double kRefusedCanvasPixels = 1073741824.0;
// Draw calls per input, so that every input runs in a few milliseconds.
const int kMaxDraws = 160;


#define CHECK(condition) \
	do { \
		if (!(condition)) { \
			fprintf(stderr, "check failed at line %d: %s\n", __LINE__, #condition); \
			abort(); \
		} \
	} while (false)


// A view with host-owned pixels, and what they held after the last present.
class Screen {
public:
	Screen(BRect frame, int32 surfaceWidth, int32 surfaceHeight)
		:
		fView(frame, "screen", B_FOLLOW_ALL, B_WILL_DRAW),
		fWidth(surfaceWidth),
		fHeight(surfaceHeight),
		fPixels((size_t)surfaceWidth * surfaceHeight * 4, 0x5a),
		fSeen(fPixels),
		fPresents(0)
	{
		BPrivate::ViewSurface::Attach(&fView, fPixels.data(), fWidth * 4, fWidth,
			fHeight);
	}

	~Screen()
	{
		BPrivate::ViewSurface::Detach(&fView);
	}

	BView* View() { return &fView; }

	// Checks the pixels against the last present, or, when the view has been
	// presented to since, against the canvas: copied where both reach,
	// untouched elsewhere.
	void Check(const Dustglow& saver)
	{
		const BBitmap* canvas = saver.CanvasBitmap();
		int32 presents = BPrivate::ViewSurface::DrawCount(&fView);
		if (presents == fPresents) {
			CHECK(fPixels == fSeen);
			return;
		}
		CHECK(presents == fPresents + 1);
		CHECK(canvas != NULL);
		fPresents = presents;
		int32 canvasWidth = saver.Width();
		int32 canvasHeight = saver.Height();

		const uint8* bits = (const uint8*)canvas->Bits();
		for (int32 y = 0; y < fHeight; y++) {
			for (int32 x = 0; x < fWidth; x++) {
				size_t at = ((size_t)y * fWidth + x) * 4;
				const uint8* expected = x < canvasWidth && y < canvasHeight
					? bits + (size_t)y * canvas->BytesPerRow() + x * 4 : &fSeen[at];
				CHECK(memcmp(&fPixels[at], expected, 4) == 0);
			}
		}
		fSeen = fPixels;
	}

private:
	BView fView;
	int32 fWidth;
	int32 fHeight;
	std::vector<uint8> fPixels;
	std::vector<uint8> fSeen;
	int32 fPresents;
};


// A rectangle edge: the values that have broken measuring code before,
// ordinary pixel positions, or any float at all.
float
Edge(FuzzedDataProvider& input)
{
	static const float kSpecial[] = {0, -0.0f, 1, -1, 0.5f, -0.5f, 0.999f, 1.5f, 79, 639,
		639.7f, 479.99f, 8191.5f, 16777215, 16777216, 16777218, 1e9f, 3e9f, FLT_MAX,
		-FLT_MAX, FLT_MIN, FLT_EPSILON, INFINITY, -INFINITY, NAN, -1e9f};
	switch (input.ConsumeIntegralInRange(0, 3)) {
		case 0:
			return kSpecial[input.ConsumeIntegralInRange<size_t>(0,
				sizeof(kSpecial) / sizeof(kSpecial[0]) - 1)];
		case 1:
			return (float)input.ConsumeIntegralInRange(-8, 520);
		case 2:
			return input.ConsumeFloatingPointInRange<float>(-8.0f, 520.0f);
		default:
		{
			uint32 raw = input.ConsumeIntegral<uint32>();
			float value;
			memcpy(&value, &raw, sizeof(value));
			return value;
		}
	}
}


std::unique_ptr<Screen>
NewScreen(FuzzedDataProvider& input)
{
	float left = input.ConsumeBool() ? 0 : Edge(input);
	float top = input.ConsumeBool() ? 0 : Edge(input);
	BRect frame(left, top, Edge(input), Edge(input));

	BRect bounds = BRect(0, 0, frame.Width(), frame.Height());
	int32 width = bounds.IntegerWidth() + 1;
	int32 height = bounds.IntegerHeight() + 1;
	return std::make_unique<Screen>(frame,
		width < kMaxSurfaceSide ? width : kMaxSurfaceSide,
		height < kMaxSurfaceSide ? height : kMaxSurfaceSide);
}


// Whether a start on the view would make a canvas that is slow to have.
bool
SlowToStart(BView* view)
{
	BRect bounds = view->Bounds();
	double width = (double)bounds.right - bounds.left + 1;
	double height = (double)bounds.bottom - bounds.top + 1;
	double pixels = width * height;
	return width >= 1 && height >= 1 && pixels > kMaxCanvasPixels
		&& pixels < kRefusedCanvasPixels;
}


void
CheckRun(const Dustglow& saver)
{
	const BBitmap* canvas = saver.CanvasBitmap();
	CHECK(BPrivate::BitmapGuard::Intact(canvas));
	if (canvas == NULL)
		return;

	CHECK(canvas->Bounds() == BRect(0, 0, saver.Width() - 1, saver.Height() - 1));
	for (int32 i = 0; i < kMoteCount; i++) {
		const float* fields = &saver.Motes()[i].x;
		for (size_t field = 0; field < sizeof(Mote) / sizeof(float); field++)
			CHECK(isfinite(fields[field]));
	}
}


std::unique_ptr<Dustglow>
NewSaver()
{
	BMessage archive;
	return std::make_unique<Dustglow>(&archive, 1);
}

}	// namespace


// The saver's calls to time() land here rather than in the C library.
extern "C" time_t
time(time_t* out)
{
	if (out != NULL)
		*out = sClock;
	return sClock;
}


extern "C" int
LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	FuzzedDataProvider input(data, size);

	sClock = input.ConsumeIntegral<int32>();
	unsigned short seed[3];
	for (unsigned short& part : seed)
		part = input.ConsumeIntegral<unsigned short>();
	seed48(seed);

	std::unique_ptr<Dustglow> saver = NewSaver();
	std::unique_ptr<Screen> screens[2] = {NewScreen(input), NewScreen(input)};
	int draws = 0;

	enum { kConfig, kStart, kPreview, kDraw, kStop, kNewSaver, kNewView, kLast = kNewView };
	while (input.remaining_bytes() > 0) {
		Screen& screen = *screens[input.ConsumeBool() ? 1 : 0];
		const BBitmap* before = saver->CanvasBitmap();

		switch (input.ConsumeIntegralInRange<int>(0, kLast)) {
			case kConfig:
			{
				BView settings(BRect(0, 0, 399, 299), "settings", B_FOLLOW_ALL,
					B_WILL_DRAW);
				saver->StartConfig(&settings);
				CHECK(settings.CountChildren() == 1);
				CHECK(dynamic_cast<BStringView*>(settings.ChildAt(0)) != NULL);
				break;
			}
			case kStart:
				if (SlowToStart(screen.View()))
					break;
				if (saver->StartSaver(screen.View(), false) == B_OK)
					CHECK(saver->CanvasBitmap() != NULL);
				else
					CHECK(saver->CanvasBitmap() == before || saver->CanvasBitmap() == NULL);
				break;
			case kPreview:
				CHECK(saver->StartSaver(screen.View(), true) == B_ERROR);
				CHECK(saver->CanvasBitmap() == before);
				break;
			case kDraw:
			{
				int count = input.ConsumeIntegralInRange(1, 64);
				bool toNull = input.ConsumeIntegralInRange(0, 15) == 0;
				for (int i = 0; i < count && draws < kMaxDraws; i++, draws++) {
					saver->Draw(toNull ? NULL : screen.View(), draws);
					CheckRun(*saver);
					screen.Check(*saver);
				}
				break;
			}
			case kStop:
				saver->StopSaver();
				CHECK(saver->CanvasBitmap() == NULL);
				break;
			case kNewSaver:
				saver = NewSaver();
				break;
			case kNewView:
				screens[input.ConsumeBool() ? 1 : 0] = NewScreen(input);
				break;
		}

		CheckRun(*saver);
		for (std::unique_ptr<Screen>& each : screens)
			each->Check(*saver);
	}
	return 0;
}
