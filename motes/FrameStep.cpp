#include "FrameStep.h"

#include "GlowCycle.h"
#include "MoteDisc.h"
#include "MoteMotion.h"


void
StepFrame(Mote motes[kMoteCount], Canvas& canvas)
{
	// The discs stand where the previous frame drew them.
	for (int32 i = 0; i < kMoteCount; i++)
		EraseDisc(canvas, motes[i]);

	// In place, one mote after the other: a mote's forces see the new state
	// of the motes before it and the old state of those after it, and the
	// partner table follows every change as it is made. The force sums of
	// each two motes are done together once both have their terms.
	PartnerTable partners;
	partners.Load(motes);
	ForceTerms terms;
	for (int32 j = 0; j < kMoteCount; j += 2) {
		for (int32 column = 0; column < 2; column++) {
			Mote& mote = motes[j + column];
			MoveMote(mote, canvas.Width(), canvas.Height());
			partners.SetPosition(j + column, mote);
			GatherTerms(mote, partners, terms, column);
			StepGlow(mote);
			partners.SetProperties(j + column, mote);
			DrawDisc(canvas, mote);
		}
		SumTerms(motes[j], motes[j + 1], terms);
	}
}
