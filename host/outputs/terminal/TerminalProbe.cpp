#include "outputs/terminal/TerminalProbe.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "outputs/terminal/TerminalSession.h"


namespace {

using Clock = std::chrono::steady_clock;

constexpr char kEscape = '\x1b';

// kitty's query: a one-pixel image that is checked and not kept.
const char kKittyQuery[] = "\x1b_Gi=31,s=1,v=1,a=q,t=d,f=24;AAAA\x1b\\";
// XTSMGRAPHICS: read the number of colour registers and the largest sixel
// image; XTVERSION.
const char kGraphicsQuery[] = "\x1b[?1;1;0S\x1b[?2;1;0S\x1b[>0q";
const char kPixelsQuery[] = "\x1b[14t";
const char kAttributesQuery[] = "\x1b[c";


// The numbers of a parameter string such as "62;4;22".
std::vector<long>
Numbers(const std::string& parameters)
{
	std::vector<long> numbers;
	const char* at = parameters.c_str();
	while (*at != '\0') {
		char* end = nullptr;
		numbers.push_back(std::strtol(at, &end, 10));
		at = *end == ';' ? end + 1 : end;
		if (end == at && *end != '\0')
			break;
	}
	return numbers;
}

}	// namespace


void
AnswerReader::Feed(const char* bytes, size_t count)
{
	for (size_t i = 0; i < count; i++) {
		char byte = bytes[i];
		switch (fState) {
			case State::Ground:
				if (byte == kEscape) {
					fSequence.assign(1, byte);
					fState = State::Escape;
				} else {
					fKeys += byte;
				}
				break;

			case State::Escape:
				fSequence += byte;
				if (byte == '[') {
					fState = State::ControlSequence;
				} else if (byte == '_' || byte == 'P' || byte == ']') {
					fState = State::String;
				} else {
					fKeys += fSequence;
					fState = State::Ground;
				}
				break;

			case State::ControlSequence:
				fSequence += byte;
				if (byte < 0x20 || byte > 0x3f)
					_EndControlSequence();
				break;

			// Up to the string terminator, Esc \, or BEL.
			case State::String:
				if (byte == '\a')
					_EndString();
				else if (byte == kEscape)
					fState = State::StringEscape;
				else
					fSequence += byte;
				break;

			case State::StringEscape:
				if (byte == '\\') {
					_EndString();
				} else {
					fSequence += kEscape;
					fSequence += byte;
					fState = State::String;
				}
				break;
		}
	}
}


void
AnswerReader::_EndControlSequence()
{
	fState = State::Ground;
	char final = fSequence.back();
	bool privateMarker = fSequence.size() > 2 && fSequence[2] == '?';
	std::string parameters = fSequence.substr(privateMarker ? 3 : 2,
		fSequence.size() - (privateMarker ? 4 : 3));
	std::vector<long> numbers = Numbers(parameters);

	if (final == 'c' && privateMarker) {
		fAnswers.answered = true;
		for (size_t i = 1; i < numbers.size(); i++)
			fAnswers.sixel = fAnswers.sixel || numbers[i] == 4;
	} else if (final == 't' && !privateMarker && numbers.size() == 3 && numbers[0] == 4) {
		if (numbers[1] > 0 && numbers[2] > 0 && numbers[1] <= 65535 && numbers[2] <= 65535) {
			fAnswers.pixels = Size{static_cast<int32_t>(numbers[2]),
				static_cast<int32_t>(numbers[1])};
		}
	} else if (final == 'S' && privateMarker && numbers.size() >= 3 && numbers[1] == 0) {
		if (numbers[0] == 1 && numbers[2] > 0)
			fAnswers.colorRegisters = static_cast<int>(std::min(numbers[2], 65536L));
		if (numbers[0] == 2 && numbers.size() == 4 && numbers[2] > 0 && numbers[3] > 0) {
			fAnswers.largestImage = Size{static_cast<int32_t>(std::min(numbers[2], 65535L)),
				static_cast<int32_t>(std::min(numbers[3], 65535L))};
		}
	} else {
		// A key: an arrow, a function key.
		fKeys += fSequence;
	}
}


void
AnswerReader::_EndString()
{
	fState = State::Ground;
	// "Esc P > | name": the version; "Esc _ G i=31;OK": kitty's graphics;
	// any other string is no key.
	if (fSequence.compare(0, 4, "\x1bP>|") == 0)
		fAnswers.version = fSequence.substr(4, 64);
	if (fSequence.size() > 6 && fSequence.compare(0, 3, "\x1b_G") == 0
			&& fSequence.find("i=31") != std::string::npos
			&& fSequence.compare(fSequence.size() - 3, 3, ";OK") == 0)
		fAnswers.kitty = true;
}


std::string
AnswerReader::TakeKeys()
{
	if (fState != State::Ground && fState != State::String && fState != State::StringEscape)
		fKeys += fSequence;
	fState = State::Ground;
	std::string keys;
	keys.swap(fKeys);
	return keys;
}


std::string
TerminalQuestions(bool all, bool askPixels)
{
	std::string questions;
	if (all)
		questions = std::string(kKittyQuery) + kGraphicsQuery;
	if (askPixels)
		questions += kPixelsQuery;
	return questions + kAttributesQuery;
}


TerminalAnswers
AskTerminal(int outputFd, int inputFd, const std::string& questions, std::string& keys)
{
	AnswerReader reader;
	if (inputFd < 0 || WriteFully(outputFd, questions.data(), questions.size()) != 0)
		return reader.Answers();

	Clock::time_point deadline = Clock::now() + kAnswerTime;
	while (!reader.Answers().answered) {
		Clock::time_point now = Clock::now();
		if (now >= deadline)
			break;
		struct pollfd ready = {inputFd, POLLIN, 0};
		int timeout = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(
			deadline - now).count());
		int polled = poll(&ready, 1, timeout);
		if (polled < 0 && errno == EINTR)
			continue;
		if (polled <= 0)
			break;
		char bytes[512];
		ssize_t got = read(inputFd, bytes, sizeof(bytes));
		if (got < 0 && (errno == EINTR || errno == EAGAIN))
			continue;
		if (got <= 0)
			break;
		reader.Feed(bytes, static_cast<size_t>(got));
	}
	keys += reader.TakeKeys();
	return reader.Answers();
}
