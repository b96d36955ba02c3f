#include <ScreenSaver.h>


// The tick a saver runs at until it asks for another, in microseconds.
static const bigtime_t kDefaultTickSize = 50000;


BScreenSaver::BScreenSaver(BMessage* archive, image_id thisImage)
	:
	fTickSize(kDefaultTickSize),
	fLoopOnCount(0),
	fLoopOffCount(0)
{
	(void)archive;
	(void)thisImage;
}


BScreenSaver::~BScreenSaver()
{
}


status_t
BScreenSaver::InitCheck()
{
	return B_OK;
}


status_t
BScreenSaver::StartSaver(BView* view, bool preview)
{
	(void)view;
	(void)preview;
	return B_OK;
}


void
BScreenSaver::StopSaver()
{
}


void
BScreenSaver::Draw(BView* view, int32 frame)
{
	(void)view;
	(void)frame;
}


void
BScreenSaver::DirectConnected(direct_buffer_info* info)
{
	(void)info;
}


void
BScreenSaver::DirectDraw(int32 frame)
{
	(void)frame;
}


void
BScreenSaver::StartConfig(BView* configView)
{
	(void)configView;
}


void
BScreenSaver::StopConfig()
{
}


void
BScreenSaver::SupplyInfo(BMessage* info) const
{
	(void)info;
}


void
BScreenSaver::ModulesChanged(const BMessage* info)
{
	(void)info;
}


status_t
BScreenSaver::SaveState(BMessage* into) const
{
	(void)into;
	return B_ERROR;
}


void
BScreenSaver::SetTickSize(bigtime_t tickSize)
{
	fTickSize = tickSize;
}


bigtime_t
BScreenSaver::TickSize() const
{
	return fTickSize;
}


void
BScreenSaver::SetLoopCount(int32 onCount, int32 offCount)
{
	fLoopOnCount = onCount;
	fLoopOffCount = offCount;
}


int32
BScreenSaver::LoopOnCount() const
{
	return fLoopOnCount;
}


int32
BScreenSaver::LoopOffCount() const
{
	return fLoopOffCount;
}


void BScreenSaver::_ReservedScreenSaver1() {}
void BScreenSaver::_ReservedScreenSaver2() {}
void BScreenSaver::_ReservedScreenSaver3() {}
void BScreenSaver::_ReservedScreenSaver4() {}
void BScreenSaver::_ReservedScreenSaver5() {}
void BScreenSaver::_ReservedScreenSaver6() {}
void BScreenSaver::_ReservedScreenSaver7() {}
void BScreenSaver::_ReservedScreenSaver8() {}
