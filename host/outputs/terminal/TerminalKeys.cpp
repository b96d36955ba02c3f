#include "outputs/terminal/TerminalKeys.h"


namespace {

constexpr unsigned char kControlC = 0x03;
constexpr unsigned char kEscape = 0x1b;

}	// namespace


bool
KeyReader::_Take(unsigned char byte, Clock::time_point now)
{
	switch (fState) {
		case State::Ground:
			break;

		case State::Escape:
			if (byte == '[') {
				fState = State::ControlSequence;
				return false;
			}
			if (byte == 'O') {
				fState = State::SingleShift;
				return false;
			}
			// Esc Esc: the first one stood alone.
			if (byte == kEscape)
				return true;
			// Alt with a key, or a control key: ignored, the Esc included.
			fState = State::Ground;
			if (byte >= 0x20)
				return false;
			break;

		case State::ControlSequence:
			// Parameter and intermediate bytes, up to a final byte.
			if (byte >= 0x20 && byte <= 0x3f)
				return false;
			fState = State::Ground;
			if (byte >= 0x40 && byte <= 0x7e)
				return false;
			// Cut short by a control byte, which counts on its own.
			break;

		case State::SingleShift:
			fState = State::Ground;
			if (byte >= 0x20)
				return false;
			break;
	}

	if (byte == 'q' || byte == 'Q' || byte == kControlC)
		return true;
	if (byte == kEscape) {
		fState = State::Escape;
		fEscapeTime = now;
	}
	return false;
}


bool
KeyReader::Feed(const char* bytes, size_t count, Clock::time_point now)
{
	for (size_t i = 0; i < count; i++) {
		if (_Take(static_cast<unsigned char>(bytes[i]), now))
			return true;
	}
	return false;
}


bool
KeyReader::Expire(Clock::time_point now)
{
	if (fState == State::Ground || now - fEscapeTime < kLoneEscape)
		return false;
	bool lone = fState == State::Escape;
	// A sequence that never finished is dropped.
	fState = State::Ground;
	return lone;
}


std::optional<KeyReader::Clock::time_point>
KeyReader::Deadline() const
{
	if (fState == State::Ground)
		return std::nullopt;
	return fEscapeTime + kLoneEscape;
}
