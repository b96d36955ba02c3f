// Status codes shared by the kits.
#ifndef _ERRORS_H
#define _ERRORS_H

#include <limits.h>

#define B_GENERAL_ERROR_BASE		INT_MIN

enum {
#ifndef ADDON_API_ONLY
	B_NO_MEMORY = B_GENERAL_ERROR_BASE,
	B_BAD_VALUE,
	B_NO_INIT,
	B_NOT_ALLOWED,
#endif

	B_ERROR = -1,
	B_OK = 0
};

#endif	// _ERRORS_H
