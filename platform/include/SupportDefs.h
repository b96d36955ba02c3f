// Fixed-width types, status codes and the small helpers every kit header relies on.
#ifndef _SUPPORT_DEFS_H
#define _SUPPORT_DEFS_H

#include <stddef.h>
#include <stdint.h>

#include <Errors.h>

typedef int8_t				int8;
typedef uint8_t				uint8;
typedef int16_t				int16;
typedef uint16_t			uint16;
typedef int32_t				int32;
typedef uint32_t			uint32;
typedef int64_t				int64;
typedef uint64_t			uint64;

typedef int32				status_t;
typedef int64				bigtime_t;
typedef uint32				type_code;

// Building with ADDON_API_ONLY defined hides every declaration of these
// headers that a saver add-on has no business using, so that such a build
// proves the add-on keeps to the part of the kits it may rely on.

// Kit classes stay visible to add-ons built with hidden visibility by default.
#define _EXPORT				__attribute__((visibility("default")))

extern _EXPORT const char* B_EMPTY_STRING;

#endif	// _SUPPORT_DEFS_H
