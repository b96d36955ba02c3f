// The keys typed at the terminal, as far as the saver cares: q, Q, Ctrl-C and
// Esc ask to stop. Arrow and function keys (and Alt with a key) also begin
// with Esc; an Esc counts as a key of its own only when nothing follows it
// within kLoneEscape, which is far longer than a terminal takes to send the
// rest of a sequence and far shorter than a person takes to type again.
#ifndef SAVERHOST_TERMINAL_KEYS_H
#define SAVERHOST_TERMINAL_KEYS_H

#include <chrono>
#include <cstddef>
#include <optional>

class KeyReader {
public:
	using Clock = std::chrono::steady_clock;

	static constexpr std::chrono::milliseconds kLoneEscape{50};

	// Takes bytes read from the terminal at now; true when they ask to stop.
	bool Feed(const char* bytes, size_t count, Clock::time_point now);
	// True when an Esc has stood alone until now.
	bool Expire(Clock::time_point now);
	// While an Esc or an unfinished sequence waits: when to call Expire().
	std::optional<Clock::time_point> Deadline() const;

private:
	enum class State {
		Ground,
		Escape,			// after Esc
		ControlSequence,	// after Esc [: parameters up to a final byte
		SingleShift		// after Esc O: one more byte
	};

	// One byte; true when it asks to stop.
	bool _Take(unsigned char byte, Clock::time_point now);

	State fState = State::Ground;
	Clock::time_point fEscapeTime;
};

#endif	// SAVERHOST_TERMINAL_KEYS_H
