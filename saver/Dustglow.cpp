#include "Dustglow.h"

#include <stdlib.h>
#include <time.h>

#include <StringView.h>

#include "Canvas.h"
#include "FrameStep.h"
#include "MoteSeeding.h"


// One frame every 40 ms, 25 a second.
static const bigtime_t kTickSize = 40000;


// Whole pixels spanned by inclusive edges, truncated towards zero; 0 when the
// span is below one pixel, not a number, or too large for a canvas.
static int32
pixel_count(float from, float to)
{
	float count = to - from + 1;
	if (!(count >= 1) || !(count < 2147483648.0f))
		return 0;
	return (int32)count;
}


Dustglow::Dustglow(BMessage* message, image_id image)
	:
	BScreenSaver(message, image),
	fCanvas(NULL)
{
}


Dustglow::~Dustglow()
{
	// A host that destroys a running saver without stopping it first would
	// otherwise lose the canvas.
	StopSaver();
}


void
Dustglow::StartConfig(BView* view)
{
	BStringView* label = new BStringView(BRect(10, 10, 200, 35), B_EMPTY_STRING,
		"No configuration options...yet", B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW);
	view->AddChild(label, NULL);
}


status_t
Dustglow::StartSaver(BView* view, bool preview)
{
	if (preview)
		return B_ERROR;

	// A view below one pixel wide or high, or with bounds that are not
	// numbers, cannot hold the field; decline before anything changes.
	BRect bounds = view->Bounds();
	int32 width = pixel_count(bounds.left, bounds.right);
	int32 height = pixel_count(bounds.top, bounds.bottom);
	if (width < 1 || height < 1)
		return B_ERROR;

	srand(time(NULL));

	// A start while running replaces the run; its canvas goes first.
	StopSaver();

	BBitmap* canvas = CreateCanvas(width, height);
	if (canvas == NULL)
		return B_ERROR;

	fCanvas = canvas;
	fWidth = width;
	fHeight = height;
	Canvas(fCanvas, fWidth, fHeight).Clear();

	SetTickSize(kTickSize);
	SeedMotes(fMotes, fWidth, fHeight);
	return B_OK;
}


void
Dustglow::StopSaver()
{
	delete fCanvas;
	fCanvas = NULL;
}


void
Dustglow::Draw(BView* view, int32 frame)
{
	(void)frame;
	if (fCanvas == NULL)
		return;

	Canvas canvas(fCanvas, fWidth, fHeight);
	StepFrame(fMotes, canvas);
	if (view != NULL)
		PresentCanvas(view, fCanvas);
}


void
Dustglow::SetPixel(int x, int y, uint8 red, uint8 green, uint8 blue)
{
	if (fCanvas != NULL)
		Canvas(fCanvas, fWidth, fHeight).SetPixel(x, y, red, green, blue);
}


void
Dustglow::AddPixel(int x, int y, uint8 red, uint8 green, uint8 blue)
{
	if (fCanvas != NULL)
		Canvas(fCanvas, fWidth, fHeight).AddPixel(x, y, red, green, blue);
}
