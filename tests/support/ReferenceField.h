// The plain, pixel-by-pixel and pair-by-pair form of the mote field's forces,
// discs and clear, the parts the add-on does in faster ways, kept apart from
// it so that those ways can be checked against it byte for byte and bit for
// bit. Seeding, motion and glow have no faster form: the plain frame calls
// the add-on's own. It is deliberately slow and obvious: change it only
// together with the add-on's meaning, never for speed.
#ifndef DUSTGLOW_REFERENCE_FIELD_H
#define DUSTGLOW_REFERENCE_FIELD_H

#include <Bitmap.h>
#include <SupportDefs.h>

#include "Mote.h"

namespace reference {

// Clipped pixel writes, one pixel at a time, on the same bitmap layout as
// the add-on's canvas.
class PlainCanvas {
public:
								PlainCanvas(BBitmap* bitmap, int32 width, int32 height);

			int32				Width() const { return fWidth; }
			int32				Height() const { return fHeight; }

			void				SetPixel(int x, int y, uint8 red, uint8 green, uint8 blue);
			void				ClearPixel(int x, int y);
			void				AddPixel(int x, int y, uint8 red, uint8 green, uint8 blue);
			void				Clear();

private:
			bool				_Contains(int x, int y) const;
			uint8*				_Row(int y) const;

			uint8*				fBits;
			int32				fBytesPerRow;
			int32				fWidth;
			int32				fHeight;
};

void GatherForces(Mote motes[kMoteCount], int32 j);
void EraseDisc(PlainCanvas& canvas, const Mote& mote);
void DrawDisc(PlainCanvas& canvas, const Mote& mote);
void StepFrame(Mote motes[kMoteCount], PlainCanvas& canvas);

}	// namespace reference

#endif	// DUSTGLOW_REFERENCE_FIELD_H
