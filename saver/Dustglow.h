// Dustglow: 72 glowing motes on black, tied by pairwise spring-like forces,
// that gather glow at rest, turn briefly into attractors, and reset.
#ifndef DUSTGLOW_H
#define DUSTGLOW_H

#include <Bitmap.h>
#include <ScreenSaver.h>

#include "Mote.h"


class Dustglow : public BScreenSaver {
public:
								Dustglow(BMessage* message, image_id image);
	virtual						~Dustglow();

	virtual	status_t			StartSaver(BView* view, bool preview);
	virtual	void				StopSaver();
	virtual	void				Draw(BView* view, int32 frame);
	virtual	void				StartConfig(BView* view);

	// Clipped writes on the canvas of the current run.
			void				SetPixel(int x, int y, uint8 red, uint8 green,
									uint8 blue);
			void				AddPixel(int x, int y, uint8 red, uint8 green,
									uint8 blue);

	// The state of the current run, read-only.
			const BBitmap*		CanvasBitmap() const { return fCanvas; }
			int32				Width() const { return fWidth; }
			int32				Height() const { return fHeight; }
			const Mote*			Motes() const { return fMotes; }

private:
			BBitmap*			fCanvas;
			int32				fWidth;
			int32				fHeight;
			Mote				fMotes[kMoteCount];
};

#endif	// DUSTGLOW_H
