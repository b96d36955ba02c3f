// A message: a command constant with named data. The saver kit only passes
// messages through, so this stand-in carries the command constant alone.
#ifndef _MESSAGE_H
#define _MESSAGE_H

#include <SupportDefs.h>

class _EXPORT BMessage {
public:
			uint32				what;

	virtual						~BMessage();
#ifndef ADDON_API_ONLY
								BMessage();
								BMessage(uint32 what);
#endif
};

#endif	// _MESSAGE_H
