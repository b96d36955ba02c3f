#include "run/Interrupt.h"

#include <unistd.h>

#include "base/Report.h"


namespace {

volatile std::sig_atomic_t sCaught = 0;
// Guards in force: a run within --idle's wait has one inside the wait's,
// and a signal caught before the inner one came must not be forgotten.
int sGuards = 0;


void
OnSignal(int signal)
{
	sCaught = signal;
}

}	// namespace


InterruptGuard::InterruptGuard()
{
	if (sGuards++ == 0)
		sCaught = 0;
	struct sigaction action = {};
	action.sa_handler = OnSignal;
	sigemptyset(&action.sa_mask);
	for (size_t i = 0; i < sizeof(kSignals) / sizeof(kSignals[0]); i++)
		sigaction(kSignals[i], &action, &fPrevious[i]);
}


InterruptGuard::~InterruptGuard()
{
	sGuards--;
	for (size_t i = 0; i < sizeof(kSignals) / sizeof(kSignals[0]); i++)
		sigaction(kSignals[i], &fPrevious[i], nullptr);
}


int
InterruptGuard::Caught() const
{
	return sCaught;
}


void
DieBySignal(int signal)
{
	struct sigaction action = {};
	action.sa_handler = SIG_DFL;
	sigemptyset(&action.sa_mask);
	sigaction(signal, &action, nullptr);
	sigset_t unblocked;
	sigemptyset(&unblocked);
	sigaddset(&unblocked, signal);
	sigprocmask(SIG_UNBLOCK, &unblocked, nullptr);
	raise(signal);
	// Only a signal whose default is not to end the process comes back here.
	_exit(kExitSignalBase + signal);
}
