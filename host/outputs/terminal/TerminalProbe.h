// What a terminal can show, asked of the terminal itself rather than guessed
// from TERM: kitty's graphics query, the colour registers and the largest
// size a sixel image may have (XTSMGRAPHICS), its name and version
// (XTVERSION), the pixel size of the text area (CSI 14 t) where the kernel
// does not know it, and last the primary device attributes (CSI c),
// which every terminal answers, and answers after the others, so that their
// answer ends the wait. Terminals that do not know a question say nothing.
#ifndef SAVERHOST_TERMINAL_PROBE_H
#define SAVERHOST_TERMINAL_PROBE_H

#include <chrono>
#include <cstddef>
#include <string>

#include "base/Size.h"

struct TerminalAnswers {
	// The device attributes came back: the others have been answered or
	// never will be.
	bool answered = false;
	// Device attribute 4: sixel graphics.
	bool sixel = false;
	// kitty's graphics protocol answered the query.
	bool kitty = false;
	// The colour registers of a sixel image, 0 when not said.
	int colorRegisters = 0;
	// The largest sixel image, 0 x 0 when not said.
	Size largestImage;
	// The terminal's name and version, as "XTerm(379)"; empty when not said.
	std::string version;
	// The text area in pixels, 0 x 0 when not said.
	Size pixels;
};

// How long a terminal is given to answer: far longer than a terminal on this
// machine or across a network takes, short enough not to be noticed when
// nobody answers.
constexpr std::chrono::milliseconds kAnswerTime{400};

// Picks the answers out of what the terminal sends, piece by piece. Anything
// else (keys typed meanwhile, arrow keys included) is kept, byte for byte, for
// the key reader.
class AnswerReader {
public:
	void Feed(const char* bytes, size_t count);
	const TerminalAnswers& Answers() const { return fAnswers; }
	// The bytes that were not answers, an unfinished sequence at the end
	// included; they are forgotten here.
	std::string TakeKeys();

private:
	enum class State { Ground, Escape, ControlSequence, String, StringEscape };

	void _EndControlSequence();
	void _EndString();

	State fState = State::Ground;
	// The sequence read so far, from its Esc.
	std::string fSequence;
	std::string fKeys;
	TerminalAnswers fAnswers;
};

// The questions, as bytes: all of them, or (for a resize) only the pixel size
// and the device attributes. The pixel size only when askPixels.
std::string TerminalQuestions(bool all, bool askPixels);

// Writes the questions to outputFd and reads the answers from inputFd (in
// the modes a TerminalSession sets) until the device attributes come back or
// kAnswerTime has passed; keys typed meanwhile go to keys.
TerminalAnswers AskTerminal(int outputFd, int inputFd, const std::string& questions,
	std::string& keys);

#endif	// SAVERHOST_TERMINAL_PROBE_H
