/*
 * Host side of the stand-in kits, not part of the platform API: how an add-on
 * built on Linux carries its module type.
 *
 * On the platform the module file's type lives in a resource that its build
 * attaches (saver/Dustglow.rdef); a screen-saver module is typed as the
 * platform's ELF executable. An ELF file has no resources, so our builds put
 * the same type into an ELF note instead, and saverhost reads it before it
 * loads the file:
 *
 *   section   .note.module-type, SHT_NOTE, allocated, so that the linker
 *             places it in a PT_NOTE segment
 *   owner     MODULE_TYPE_NOTE_OWNER, "ModuleType" with its NUL (n_namesz 11)
 *   n_type    MODULE_TYPE_NOTE_TYPE, 1
 *   desc      the MIME type as a NUL-terminated string, at most
 *             MODULE_TYPE_MAX_LENGTH characters of printable ASCII
 *
 * Owner and descriptor are each padded to four bytes, as for every ELF note.
 * The CMake function attach_module_type() (cmake/ModuleType.cmake) generates
 * the note for a target.
 *
 * Plain C macros: the generated note source includes this file too.
 */
#ifndef _MODULE_TYPE_NOTE_H
#define _MODULE_TYPE_NOTE_H

/* The note's owner name and type. */
#define MODULE_TYPE_NOTE_OWNER		"ModuleType"
#define MODULE_TYPE_NOTE_TYPE		1

/* The type every screen-saver module carries. */
#define SCREEN_SAVER_MODULE_TYPE	"application/x-vnd.Be-elfexecutable"

/* The longest module type, in characters without the NUL. */
#define MODULE_TYPE_MAX_LENGTH		255

#endif	/* _MODULE_TYPE_NOTE_H */
