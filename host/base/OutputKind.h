// The outputs saverhost can show frames in, one for each row of the table of
// outputs (outputs/OutputTable.cpp), which gives their names and makes them.
#ifndef SAVERHOST_OUTPUT_KIND_H
#define SAVERHOST_OUTPUT_KIND_H

enum class OutputKind { Window, Terminal, File, Headless };

#endif	// SAVERHOST_OUTPUT_KIND_H
