// Which colours a terminal shows, from what the environment says of it: TERM,
// looked up in the terminfo database, and COLORTERM.
#ifndef SAVERHOST_COLOR_SUPPORT_H
#define SAVERHOST_COLOR_SUPPORT_H

#include "base/Result.h"
#include "outputs/terminal/TerminalPicture.h"

// 24-bit colour where COLORTERM is truecolor or 24bit, else the 256-colour
// palette; or why the terminal on fd cannot show the picture: TERM is not
// set, or names a terminal that terminfo knows to have no colour (dumb,
// vt100, xterm-mono). A terminal terminfo does not know is taken to have
// colour: new terminals are rarely without it.
Result<TerminalColors> ColorsOfTerminal(int fd);

#endif	// SAVERHOST_COLOR_SUPPORT_H
