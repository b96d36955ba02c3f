// Identifiers of loaded code images (applications, libraries, add-ons).
#ifndef _IMAGE_H
#define _IMAGE_H

#include <SupportDefs.h>

typedef int32				image_id;

#endif	// _IMAGE_H
