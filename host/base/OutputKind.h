// The outputs saverhost can show frames in, one for each row of the table of
// outputs (outputs/OutputTable.cpp), which gives their names and makes them;
// and Window, the family of the two windows, which --output window and the
// window's own options ask for: Wayland's where WAYLAND_DISPLAY names a
// compositor, else X's.
#ifndef SAVERHOST_OUTPUT_KIND_H
#define SAVERHOST_OUTPUT_KIND_H

enum class OutputKind { Window, Wayland, X11, Terminal, File, Headless };

#endif	// SAVERHOST_OUTPUT_KIND_H
