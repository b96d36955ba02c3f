#include "run/IdleRun.h"

#include <chrono>
#include <memory>

#include "base/Report.h"
#include "outputs/OutputChoice.h"
#include "run/Interrupt.h"
#include "run/SaverRunner.h"


namespace {

// The first watch of the plan that opens: each that fails says why and the
// next is tried; the last one's failure is the run's.
Result<std::unique_ptr<IdleWatch>>
OpenFirstWatch(const std::vector<OutputKind>& plan, std::chrono::seconds idle)
{
	std::string failure;
	for (size_t i = 0; i < plan.size(); i++) {
		std::unique_ptr<IdleWatch> watch = OutputRow(plan[i]).makeIdleWatch();
		Result<void> opened = watch->Open(idle);
		if (opened)
			return Result<std::unique_ptr<IdleWatch>>(std::move(watch));
		failure = opened.Message();
		if (i + 1 < plan.size())
			Report(failure + "; trying the " + OutputRow(plan[i + 1]).name + " instead");
	}
	return Error{failure};
}

}	// namespace


int
RunWhenIdle(const Options& options, const std::string& modulePath)
{
	// Held for the whole round: a signal while a saver runs ends that run,
	// and then this one; a signal while waiting ends the wait.
	InterruptGuard interrupts;
	Result<std::vector<OutputKind>> plan = PlanIdleWatch(options, LookAround());
	if (!plan)
		return Fail(plan.Message());
	Result<std::unique_ptr<IdleWatch>> watch = OpenFirstWatch(plan.Value(),
		std::chrono::seconds(*options.idleSeconds));
	if (!watch)
		return Fail(watch.Message());

	while (watch.Value()->WaitForIdle()) {
		if (int signal = interrupts.Caught())
			return kExitSignalBase + signal;
		int status = RunSaver(options, modulePath);
		if (status != kExitSuccess)
			return status;
	}
	if (int signal = interrupts.Caught()) {
		Report("interrupted while waiting for the session to go idle");
		return kExitSignalBase + signal;
	}
	return Fail("cannot tell any more how long the session has gone without input");
}
