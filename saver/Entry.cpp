// What the saver host looks up in the add-on, by name: the factory and the
// version word. Nothing else is exported.
#include <ScreenSaver.h>

#include "Dustglow.h"


extern "C" {

_EXPORT int32 saverVersionID = 0;

}


BScreenSaver*
instantiate_screen_saver(BMessage* message, image_id image)
{
	return new Dustglow(message, image);
}
