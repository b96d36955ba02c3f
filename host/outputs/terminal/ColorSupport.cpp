#include "outputs/terminal/ColorSupport.h"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

// terminfo last: its capability macros (columns, lines...) must meet no other
// header.
#include <curses.h>
#include <term.h>


namespace {

// The colours terminfo gives the terminal: -1 where it has none, and none
// where terminfo does not know it.
std::optional<int>
TerminfoColors(const char* term, int fd)
{
	int status = 0;
	if (setupterm(term, fd, &status) != OK)
		return std::nullopt;
	int colors = tigetnum("colors");
	del_curterm(cur_term);
	cur_term = nullptr;
	return colors;
}

}	// namespace


Result<TerminalColors>
ColorsOfTerminal(int fd)
{
	const char* term = std::getenv("TERM");
	if (term == nullptr || *term == '\0') {
		return Error{"TERM is not set, so the terminal may show no colour; try "
			"TERM=xterm-256color"};
	}
	std::optional<int> colors = TerminfoColors(term, fd);
	if (colors && *colors < 8) {
		return Error{"the terminal shows no colour (TERM=" + std::string(term) + "); try "
			"--output window, or --record dust.mp4"};
	}

	const char* colorTerm = std::getenv("COLORTERM");
	bool trueColor = colorTerm != nullptr
		&& (std::strcmp(colorTerm, "truecolor") == 0 || std::strcmp(colorTerm, "24bit") == 0);
	return trueColor ? TerminalColors::TrueColor : TerminalColors::Palette256;
}
