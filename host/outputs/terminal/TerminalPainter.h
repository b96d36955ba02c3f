// The ways the terminal output can put a frame on the terminal, behind one
// interface: coloured character cells (TerminalPicture), sixel images
// (SixelPicture) and kitty's graphics protocol (KittyPicture). Each keeps what
// it last sent and sends only what changed; none writes to the terminal
// itself, so tests and benchmarks drive them directly.
#ifndef SAVERHOST_TERMINAL_PAINTER_H
#define SAVERHOST_TERMINAL_PAINTER_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/Damage.h"
#include "base/PixelView.h"

// Where the picture goes: columns x rows cells from the terminal's top-left
// corner, each cell cellWidth x cellHeight pixels (0 where the terminal does
// not say).
struct TerminalArea {
	int32_t columns = 0;
	int32_t rows = 0;
	int32_t cellWidth = 0;
	int32_t cellHeight = 0;

	int32_t PixelWidth() const { return columns * cellWidth; }
	int32_t PixelHeight() const { return rows * cellHeight; }
};

class TerminalPainter {
public:
	virtual ~TerminalPainter() = default;

	// The picture fills the area, its aspect kept, centred on black. A new
	// area repaints it whole with the next frame.
	virtual void SetArea(const TerminalArea& area) = 0;
	// Forgets what the terminal shows: the next frame repaints the area.
	virtual void Invalidate() = 0;
	// Someone else wrote to the terminal outside the area: the cursor and
	// the colours in effect are not known any more.
	virtual void ForgetCursor() {}
	// Appends to out the bytes that turn the last frame into this one, which
	// changed since then only where damage says; gives their count.
	virtual size_t Encode(const PixelView& frame, const Damage& damage, std::string& out) = 0;
	// Appends the bytes that take the picture off the terminal where clearing
	// the screen does not (a kitty image), and forgets it.
	virtual void Erase(std::string&) { Invalidate(); }
	// The bytes that undo the modes the picture set, sent whenever the
	// terminal is put back, from a signal handler too.
	virtual const char* Leave() const { return ""; }
};

#endif	// SAVERHOST_TERMINAL_PAINTER_H
