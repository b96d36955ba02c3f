// The terminal in the modes the saver draws in: the alternate screen, the
// cursor hidden, keys read one at a time without echo. Whatever way the
// process leaves, the terminal is put back as it was: when the session goes;
// at exit(); on a signal that would end the process (SIGINT, SIGTERM, SIGHUP,
// SIGQUIT, and the crash signals SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT),
// before it does; and on Ctrl-Z for as long as the process is stopped.
//
// Signals that someone else already catches (the run loop's SIGINT, SIGTERM
// and SIGHUP) are left to them: they end the run, and the session goes with
// it. One session at a time.
#ifndef SAVERHOST_TERMINAL_SESSION_H
#define SAVERHOST_TERMINAL_SESSION_H

#include <memory>
#include <string>

#include "base/Result.h"
#include "base/Size.h"

// Writes all of data to fd: retries short writes and writes interrupted by a
// signal, and waits while a non-blocking fd is full. 0, or the errno of the
// failure.
int WriteFully(int fd, const char* data, size_t size);

class TerminalSession {
public:
	// Draws on outputFd; inputFd, the terminal keys come from, gets the key
	// modes, or -1 to leave them.
	static Result<std::unique_ptr<TerminalSession>> Begin(int outputFd, int inputFd);
	~TerminalSession();

	TerminalSession(const TerminalSession&) = delete;
	TerminalSession& operator=(const TerminalSession&) = delete;

	// The terminal's size in cells: width columns, height rows.
	Size Measure() const;
	// The size of its text area in pixels, as the kernel knows it; 0 x 0
	// where the terminal does not tell.
	Size MeasurePixels() const;
	// Bytes sent before the rest whenever the terminal is put back (a
	// picture's own modes): at most 63, constant from then on.
	void SetLeave(const char* bytes);

	// Becomes readable when the terminal was resized or the process
	// continued after a stop; for poll().
	int WakeFd() const;
	// Counts the signals the session handles itself (resize, continue), so
	// that a wait cut short by one of them can go on.
	unsigned long Signals() const;

	struct Changes {
		bool resized = false;
		// The process went on after a stop: the terminal may show anything.
		bool continued = false;
	};
	// What happened since the last call.
	Changes TakeChanges();
	// Empties WakeFd() and leaves the changes for TakeChanges().
	void DrainWake();

private:
	TerminalSession() = default;
};

#endif	// SAVERHOST_TERMINAL_SESSION_H
