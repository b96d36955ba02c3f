// Holds off SIGINT, SIGTERM and SIGHUP while the host waits on a window that
// only the user closes (the settings, a notice), and tells when one came:
// the wait then ends, and the signal is delivered as the hold goes, to
// whatever handles it.
#ifndef SAVERHOST_SIGNAL_HOLD_H
#define SAVERHOST_SIGNAL_HOLD_H

#include <signal.h>

class SignalHold {
public:
	SignalHold()
	{
		sigemptyset(&fSignals);
		for (int signal : {SIGINT, SIGTERM, SIGHUP})
			sigaddset(&fSignals, signal);
		fHolding = pthread_sigmask(SIG_BLOCK, &fSignals, &fPrevious) == 0;
	}

	~SignalHold()
	{
		if (fHolding)
			pthread_sigmask(SIG_SETMASK, &fPrevious, nullptr);
	}

	SignalHold(const SignalHold&) = delete;
	SignalHold& operator=(const SignalHold&) = delete;

	bool Arrived() const
	{
		sigset_t pending;
		if (!fHolding || sigpending(&pending) != 0)
			return false;
		for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
			if (sigismember(&pending, signal) == 1 && sigismember(&fPrevious, signal) == 0)
				return true;
		}
		return false;
	}

	// The signal mask from before the hold: a wait that sets it while it
	// sleeps (ppoll) is woken by a held signal.
	const sigset_t& Previous() const { return fPrevious; }

	// How often a wait on the user looks for a held signal.
	static constexpr int kCheckMilliseconds = 100;

private:
	sigset_t fSignals;
	sigset_t fPrevious;
	bool fHolding = false;
};

#endif	// SAVERHOST_SIGNAL_HOLD_H
