// The base class of screen-saver add-ons, and the entry point the saver host
// looks up in every add-on.
#ifndef _SCREEN_SAVER_H
#define _SCREEN_SAVER_H

#include <image.h>
#include <Message.h>
#include <View.h>

struct direct_buffer_info;

class _EXPORT BScreenSaver {
public:
								BScreenSaver(BMessage* archive, image_id thisImage);
	virtual						~BScreenSaver();

	virtual	status_t			InitCheck();

	virtual	status_t			StartSaver(BView* view, bool preview);
	virtual	void				StopSaver();

	virtual	void				Draw(BView* view, int32 frame);

	virtual	void				DirectConnected(direct_buffer_info* info);
	virtual	void				DirectDraw(int32 frame);

	virtual	void				StartConfig(BView* configView);
	virtual	void				StopConfig();

	virtual	void				SupplyInfo(BMessage* info) const;
	virtual	void				ModulesChanged(const BMessage* info);

	virtual	status_t			SaveState(BMessage* into) const;

	// The period between two Draw() calls that the saver asks the host for.
			void				SetTickSize(bigtime_t tickSize);
#ifndef ADDON_API_ONLY
			bigtime_t			TickSize() const;

	// Draw() calls to make before the host blanks the screen; 0 for no limit.
			void				SetLoopCount(int32 onCount, int32 offCount);
			int32				LoopOnCount() const;
			int32				LoopOffCount() const;
#endif

private:
	virtual	void				_ReservedScreenSaver1();
	virtual	void				_ReservedScreenSaver2();
	virtual	void				_ReservedScreenSaver3();
	virtual	void				_ReservedScreenSaver4();
	virtual	void				_ReservedScreenSaver5();
	virtual	void				_ReservedScreenSaver6();
	virtual	void				_ReservedScreenSaver7();
	virtual	void				_ReservedScreenSaver8();

								BScreenSaver(const BScreenSaver&);
			BScreenSaver&		operator=(const BScreenSaver&);

			bigtime_t			fTickSize;
			int32				fLoopOnCount;
			int32				fLoopOffCount;
			uint32				_reserved[6];
};

// Every saver add-on exports this factory under its plain name; the host
// owns the saver it returns and destroys it through the virtual destructor.
extern "C" _EXPORT BScreenSaver* instantiate_screen_saver(BMessage* message,
	image_id image);

#endif	// _SCREEN_SAVER_H
