// Turns SIGINT, SIGTERM and SIGHUP into a request to stop that the run loop
// checks between frames, so that the saver is stopped properly and no
// half-written file is left behind.
#ifndef SAVERHOST_INTERRUPT_H
#define SAVERHOST_INTERRUPT_H

#include <csignal>

class InterruptGuard {
public:
	// Catches the signals until the guard goes; then the previous handlers
	// are back. A guard made while another is in force (a run within
	// --idle's wait) keeps what that one caught.
	InterruptGuard();
	~InterruptGuard();

	InterruptGuard(const InterruptGuard&) = delete;
	InterruptGuard& operator=(const InterruptGuard&) = delete;

	// The signal that asked to stop, or 0.
	int Caught() const;

private:
	static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

	struct sigaction fPrevious[sizeof(kSignals) / sizeof(kSignals[0])];
};

// Ends the process as killed by the signal, once the run it stopped has put
// everything back: the signal's default action is restored and the signal
// raised again, so that the parent sees the process die by it, as a shell
// or a screen-saver daemon expects of a child it signalled.
[[noreturn]] void DieBySignal(int signal);

#endif	// SAVERHOST_INTERRUPT_H
