// A message: a command constant with named data. The saver kit only passes
// messages through, so this stand-in carries the command constant alone.
#ifndef _MESSAGE_H
#define _MESSAGE_H

#include <SupportDefs.h>

class _EXPORT BMessage {
public:
			uint32				what;

								BMessage();
								BMessage(uint32 what);
	virtual						~BMessage();
};

#endif	// _MESSAGE_H
