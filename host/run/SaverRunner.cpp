#include "run/SaverRunner.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "base/Report.h"
#include "base/ViewSizes.h"
#include "module/SaverModule.h"
#include "outputs/Output.h"
#include "outputs/OutputChoice.h"
#include "outputs/files/AtomicFile.h"
#include "outputs/files/PngWriter.h"
#include "run/Clock.h"
#include "base/Digest.h"
#include "run/Interrupt.h"
#include "run/SaverScreen.h"
#include "base/MonotonicClock.h"
#include "run/ShowSettings.h"
#include "run/Soak.h"
#include "run/StatsMeter.h"
#include "run/Surface.h"
#include "run/Ticker.h"


namespace {

// How long a wait lasts at most while nobody can see the frames. The outputs'
// waits end when they see a signal, as when the frames come back into sight;
// this is for a signal that came just before a wait began.
constexpr std::chrono::milliseconds kOutOfSightWait{1000};


Result<void>
WriteSnapshot(AtomicFile& file, const PixelView& pixels)
{
	Result<void> written = WritePng(file.Stream(), pixels);
	if (!written)
		return Error{"cannot write \"" + file.Path() + "\": " + written.Message()};
	return file.Commit();
}


// The first output of the plan that opens. An automatic choice that fails
// says why in one line and moves on to the next; the last one's failure, or
// that of the output the user asked for, is the run's.
Result<std::pair<std::unique_ptr<Output>, Size>>
OpenFirstOutput(const OutputPlan& plan, const Options& options)
{
	std::string failure;
	for (size_t i = 0; i < plan.candidates.size(); i++) {
		std::unique_ptr<Output> output = OutputRow(plan.candidates[i]).make();
		Result<Size> opened = output->Open(options);
		if (opened)
			return std::make_pair(std::move(output), opened.Value());
		failure = opened.Message();

		if (i + 1 < plan.candidates.size() && !plan.asked) {
			// The next output is taken anyway: a hint to try one is moot.
			std::string reason = failure.substr(0, failure.find("; try "));
			OutputKind next = plan.candidates[i + 1];
			Report(reason + (next == OutputKind::Headless ? "; running headless"
				: std::string("; using the ") + OutputRow(next).name + " instead"));
		}
	}
	return Error{failure};
}


std::string
Unwritten(const Options& options)
{
	std::string unwritten;
	if (options.recordPath)
		unwritten += "; no recording written";
	if (options.snapshotPath)
		unwritten += "; no snapshot written";
	return unwritten;
}


// How the run ends: saverhost's exit status and a last word, if any.
struct RunEnd {
	int status;
	std::string message;
};

// What a step of the run gives: nothing to go on with the next step, or the
// end of the run.
using StepResult = std::optional<RunEnd>;


// One run of the saver on its screens, as a sequence of steps: a plain run
// has one screen, on the output the options choose; --screensaver has one on
// each monitor of a Screens object, all on one grid of ticks, and follows
// the monitors as they come and go. The members are destroyed in the
// reverse order of their declaration: the savers are stopped, and the views
// and the savers deleted while the module's code is still there, then the
// outputs go, and an unwritten snapshot is removed last; the signal
// handlers go at the very end.
class SaverRun {
public:
	// Without a given output or screens, the options choose them.
	SaverRun(const Options& options, const std::string& modulePath,
		const MonotonicClock& clock, std::unique_ptr<Output> output,
		std::unique_ptr<Screens> screens)
		:
		fOptions(options),
		fModulePath(modulePath),
		fClock(clock),
		fGivenOutput(std::move(output)),
		fGivenScreens(std::move(screens))
	{
	}

	int Run()
	{
		for (auto step : {&SaverRun::_Prepare, &SaverRun::_OpenOutput, &SaverRun::_ShowSettings,
				&SaverRun::_StartFirstView, &SaverRun::_TickLoop, &SaverRun::_Finish}) {
			if (StepResult end = (this->*step)())
				return _End(*end);
		}
		return _End({kExitSuccess, ""});
	}

private:
	bool _CoversScreens() const { return fOptions.CoversScreens() || fGivenScreens; }

	StepResult _Prepare();
	StepResult _OpenOutput();
	StepResult _OpenScreens();
	StepResult _ShowSettings();
	StepResult _StartFirstView();
	StepResult _TickLoop();
	StepResult _Finish();

	StepResult _FollowMonitors();
	StepResult _AwaitTick(bool& quit);
	StepResult _Wait(MonotonicClock::TimePoint deadline, bool& quit, bool& restarted);
	StepResult _TakeEvents(SaverScreen& screen, const OutputEvents& events, bool& quit,
		bool& restarted);
	StepResult _DrawFrame();
	StepResult _DrawScreen(SaverScreen& screen);
	bigtime_t _Period() const;
	RunEnd _Interrupted(int signal) const;
	int _End(const RunEnd& end);

	const Options& fOptions;
	const std::string& fModulePath;
	const MonotonicClock& fClock;

	// A signal from here on stops the run between two steps; the objects
	// below then go in order, and each output puts back what it changed.
	InterruptGuard fInterrupts;
	std::optional<AtomicFile> fSnapshot;
	OutputPlan fPlan;
	std::vector<OutputKind> fScreensPlan;
	std::optional<SaverModule> fModule;
	std::unique_ptr<Output> fGivenOutput;
	std::unique_ptr<Screens> fGivenScreens;
	std::unique_ptr<Output> fOutput;
	std::unique_ptr<Screens> fScreens;
	Size fFullSize;
	// The savers: the one of a plain run, or one for each monitor.
	std::vector<std::unique_ptr<SaverScreen>> fSavers;

	// The tick loop's state.
	std::optional<Ticker> fTicker;
	std::optional<StatsMeter> fMeter;
	std::optional<Soak> fSoak;
	bool fPaced = false;
	bigtime_t fPeriod = 0;
	int32_t fFrame = 0;
};


// Everything that can be refused is refused before the saver starts: the
// snapshot's file, the output's plan, the module and the saver of a plain
// run (a monitor's saver is made once its monitor is known).
StepResult
SaverRun::_Prepare()
{
	if (fOptions.RunsSaver() && fOptions.snapshotPath) {
		Result<AtomicFile> file = AtomicFile::Create(*fOptions.snapshotPath);
		if (!file)
			return RunEnd{kExitFailure, file.Message()};
		fSnapshot.emplace(std::move(file.Value()));
	}

	if (_CoversScreens() && !fGivenScreens) {
		Result<std::vector<OutputKind>> plan = PlanScreens(fOptions, LookAround());
		if (!plan)
			return RunEnd{kExitFailure, plan.Message()};
		fScreensPlan = plan.Value();
	} else if (!_CoversScreens() && !fGivenOutput) {
		Result<OutputPlan> plan = PlanOutput(fOptions, LookAround());
		if (!plan)
			return RunEnd{kExitFailure, plan.Message()};
		fPlan = plan.Value();
	}

	Result<SaverModule> module = SaverModule::Load(fModulePath);
	if (!module)
		return RunEnd{kExitFailure, module.Message()};
	fModule.emplace(std::move(module.Value()));
	if (_CoversScreens())
		return std::nullopt;

	Result<std::unique_ptr<SaverScreen>> created = SaverScreen::Create(*fModule);
	if (!created)
		return RunEnd{kExitFailure, created.Message()};
	fSavers.push_back(std::move(created.Value()));
	return std::nullopt;
}


StepResult
SaverRun::_OpenOutput()
{
	if (_CoversScreens())
		return _OpenScreens();
	if (fGivenOutput) {
		Result<Size> opened = fGivenOutput->Open(fOptions);
		if (!opened)
			return RunEnd{kExitFailure, opened.Message()};
		fOutput = std::move(fGivenOutput);
		fFullSize = opened.Value();
	} else {
		auto opened = OpenFirstOutput(fPlan, fOptions);
		if (!opened)
			return RunEnd{kExitFailure, opened.Message()};
		if (!fPlan.notice.empty())
			Report(fPlan.notice);
		fOutput = std::move(opened.Value().first);
		fFullSize = opened.Value().second;
	}
	fSavers.front()->ShowIn(*fOutput);
	return std::nullopt;
}


// The first Screens of the plan that opens, as OpenFirstOutput() takes the
// first output; then a saver on each of its monitors.
StepResult
SaverRun::_OpenScreens()
{
	if (fGivenScreens) {
		Result<void> opened = fGivenScreens->Open(fOptions);
		if (!opened)
			return RunEnd{kExitFailure, opened.Message()};
		fScreens = std::move(fGivenScreens);
		return _FollowMonitors();
	}
	for (size_t i = 0; i < fScreensPlan.size() && !fScreens; i++) {
		std::unique_ptr<Screens> screens = OutputRow(fScreensPlan[i]).makeScreens();
		Result<void> opened = screens->Open(fOptions);
		if (opened)
			fScreens = std::move(screens);
		else if (i + 1 == fScreensPlan.size())
			return RunEnd{kExitFailure, opened.Message()};
		else
			Report(opened.Message() + "; trying the " + OutputRow(fScreensPlan[i + 1]).name
				+ " instead");
	}
	return _FollowMonitors();
}


// Each monitor the screens have now gets a saver of its own, started on a
// view of the monitor's size; the savers of monitors that went are stopped
// and go, and nothing of them is drawn or shown any more.
StepResult
SaverRun::_FollowMonitors()
{
	std::vector<Output*> monitors = fScreens->Monitors();
	auto gone = [&](const std::unique_ptr<SaverScreen>& saver) {
		return std::find(monitors.begin(), monitors.end(), &saver->Out()) == monitors.end();
	};
	fSavers.erase(std::remove_if(fSavers.begin(), fSavers.end(), gone), fSavers.end());

	for (Output* monitor : monitors) {
		auto known = [&](const std::unique_ptr<SaverScreen>& saver) {
			return &saver->Out() == monitor;
		};
		if (std::any_of(fSavers.begin(), fSavers.end(), known))
			continue;
		Result<Size> opened = monitor->Open(fOptions);
		if (!opened)
			return RunEnd{kExitFailure, opened.Message()};
		Result<std::unique_ptr<SaverScreen>> created = SaverScreen::Create(*fModule);
		if (!created)
			return RunEnd{kExitFailure, created.Message()};
		std::unique_ptr<SaverScreen> saver = std::move(created.Value());
		saver->ShowIn(*monitor);
		if (Result<void> started = saver->Start(opened.Value(), false, true); !started)
			return RunEnd{kExitFailure, started.Message()};
		monitor->TickPeriod(std::chrono::microseconds(saver->Saver().TickSize()));
		fSavers.push_back(std::move(saver));
	}
	return std::nullopt;
}


// --config: the panel first; alone, it is the whole run.
StepResult
SaverRun::_ShowSettings()
{
	if (fOptions.config && fOutput) {
		Result<void> shown = fOutput->ShowSettings(::ShowSettings(fSavers.front()->Saver()));
		if (!shown)
			return RunEnd{kExitFailure, shown.Message()};
		if (!fOptions.RunsSaver())
			return RunEnd{kExitSuccess, ""};
	}
	if (int signal = fInterrupts.Caught())
		return _Interrupted(signal);
	return std::nullopt;
}


// A plain run's saver starts now; the monitors' savers started with them.
StepResult
SaverRun::_StartFirstView()
{
	if (fScreens)
		return std::nullopt;
	SaverScreen& saver = *fSavers.front();
	Result<void> started = saver.Start(fOptions.preview ? kPreviewSize : fFullSize,
		fOptions.preview, false);
	if (!started) {
		if (fOptions.preview && saver.View() != nullptr) {
			fOutput->ShowNotice("the saver declined to run in the preview"
				+ Unwritten(fOptions));
			// A signal that cut the notice short stops the run as it would
			// any other.
			if (int signal = fInterrupts.Caught())
				return _Interrupted(signal);
			return RunEnd{kExitSuccess, ""};
		}
		return RunEnd{kExitFailure, started.Message()};
	}
	return std::nullopt;
}


// One Draw() a tick on every screen in sight, paced or back to back, until
// the frames are done or the user stops the run.
StepResult
SaverRun::_TickLoop()
{
	if (fOptions.fps)
		fMeter.emplace(fClock, ProcessCpuTime);
	fPaced = fScreens || fOutput->Paced() || fOptions.paced;
	fPeriod = _Period();
	if (fOutput)
		fOutput->TickPeriod(std::chrono::microseconds(fPeriod));
	fTicker.emplace(fClock);
	if (fOptions.soak)
		fSoak.emplace(*fOptions.soak);

	std::optional<int32_t> frames = fOptions.frames ? fOptions.frames
		: fOutput ? fOutput->DefaultFrames() : std::nullopt;
	for (fFrame = 0; !frames || fFrame < *frames; fFrame++) {
		bool quit = false;
		if (StepResult end = _AwaitTick(quit))
			return end;
		if (quit)
			break;
		if (StepResult end = _DrawFrame())
			return end;
	}
	return std::nullopt;
}


// Until the tick is due, acts on what happens at the outputs: a quit, a
// signal, a new size for a view, monitors that come and go. While nobody can
// see any frame, none are due: the run waits until somebody can, then goes
// on at the next tick on the grid, without making up for the ticks it let
// pass.
StepResult
SaverRun::_AwaitTick(bool& quit)
{
	bool paused = false;
	while (true) {
		if (int signal = fInterrupts.Caught())
			return _Interrupted(signal);
		bool restarted = false;
		MonotonicClock::TimePoint deadline = paused ? fClock.Now() + kOutOfSightWait
			: fTicker->Deadline();
		if (StepResult end = _Wait(deadline, quit, restarted))
			return end;
		if (int signal = fInterrupts.Caught())
			return _Interrupted(signal);
		if (quit)
			return std::nullopt;
		if (restarted && fPaced)
			continue;
		bool inSight = std::any_of(fSavers.begin(), fSavers.end(),
			[](const std::unique_ptr<SaverScreen>& saver) { return !saver->outOfSight; });
		if (!inSight) {
			paused = true;
			continue;
		}
		if (paused) {
			paused = false;
			fTicker->Resume(fPeriod);
			// The figures of --fps start afresh, without the pause in them.
			if (fMeter)
				fMeter.emplace(fClock, ProcessCpuTime);
			continue;
		}
		return std::nullopt;
	}
}


// One wait for the output's or the screens' events (a look, when the run is
// not paced), and what the run does about them.
StepResult
SaverRun::_Wait(MonotonicClock::TimePoint deadline, bool& quit, bool& restarted)
{
	if (!fScreens) {
		OutputEvents events = !fPaced ? fOutput->Poll() : fOutput->WaitUntil(deadline);
		return _TakeEvents(*fSavers.front(), events, quit, restarted);
	}
	ScreenEvents events = fScreens->WaitUntil(deadline);
	quit = events.quit;
	if (events.changed) {
		if (StepResult end = _FollowMonitors())
			return end;
		restarted = true;
	}
	for (const std::unique_ptr<SaverScreen>& saver : fSavers) {
		if (StepResult end = _TakeEvents(*saver, saver->Out().Poll(), quit, restarted))
			return end;
	}
	return std::nullopt;
}


// A screen's events: a quit, a new size for its view (the preview keeps
// its size whatever the window does), its frames out of sight.
StepResult
SaverRun::_TakeEvents(SaverScreen& saver, const OutputEvents& events, bool& quit,
	bool& restarted)
{
	if (events.quit) {
		quit = true;
		return std::nullopt;
	}
	Size current = saver.View()->Dimensions();
	std::optional<Size> resized = events.resized;
	if (resized && !fOptions.preview && resized->width >= 1 && resized->height >= 1
		&& resized->width <= kMaxViewSide && resized->height <= kMaxViewSide
		&& (resized->width != current.width || resized->height != current.height)) {
		Result<void> started = saver.Start(*resized, false, fScreens != nullptr);
		if (!started)
			return RunEnd{kExitFailure, started.Message()};
		restarted = true;
	}
	saver.outOfSight = fPaced && events.outOfSight;
	return std::nullopt;
}


// A Draw() on every screen in sight, then the --fps figures and the next
// tick, at the savers' period.
StepResult
SaverRun::_DrawFrame()
{
	MonotonicClock::TimePoint drawStart = fClock.Now();
	for (const std::unique_ptr<SaverScreen>& saver : fSavers) {
		if (saver->outOfSight)
			continue;
		if (StepResult end = _DrawScreen(*saver))
			return end;
	}
	if (fMeter) {
		if (std::optional<FrameStats> stats = fMeter->FrameDone(fClock.Now() - drawStart)) {
			for (const std::unique_ptr<SaverScreen>& saver : fSavers)
				saver->Out().ShowStats(*stats);
		}
	}

	if (bigtime_t asked = _Period(); asked != fPeriod) {
		fPeriod = asked;
		for (const std::unique_ptr<SaverScreen>& saver : fSavers)
			saver->Out().TickPeriod(std::chrono::microseconds(fPeriod));
	}
	fTicker->Advance(fPeriod);
	return std::nullopt;
}


// One Draw() into the pixels the output lends, or the surface's own, then
// the digest, the present and the soak's checks.
StepResult
SaverRun::_DrawScreen(SaverScreen& saver)
{
	Surface& surface = *saver.View();
	std::optional<PixelTarget> lent = saver.Out().LendPixels(surface.Dimensions());
	surface.DrawInto(lent);
	saver.Saver().Draw(surface.View(), saver.frames++);
	PixelView pixels = surface.Pixels();
	const Damage& damage = surface.TakeDamage();
	if (fOptions.digest) {
		std::printf("frame %ld %s\n", static_cast<long>(fFrame) + 1,
			FormatDigest(FrameDigest(pixels)).c_str());
	}
	Result<void> shown = saver.Out().Present(pixels, damage);
	if (!shown)
		return RunEnd{kExitFailure, shown.Message()};
	if (Result<void> healthy = fSoak ? fSoak->FrameDone(fFrame) : Result<void>(); !healthy) {
		std::printf("%s\n", fSoak->Summary(surface.Dimensions(), healthy).c_str());
		return RunEnd{kExitFailure, ""};
	}
	return std::nullopt;
}


// The period of the grid: the shortest any saver asks for (the savers of
// one module ask for the same), or the longest there is without savers.
bigtime_t
SaverRun::_Period() const
{
	std::optional<bigtime_t> period;
	for (const std::unique_ptr<SaverScreen>& saver : fSavers)
		period = std::min(period.value_or(saver->Saver().TickSize()), saver->Saver().TickSize());
	return period.value_or(kLongestTick.count());
}


// The savers stop, the output completes what it wrote, and the snapshot is
// taken of the last frame.
StepResult
SaverRun::_Finish()
{
	for (const std::unique_ptr<SaverScreen>& saver : fSavers)
		saver->Stop();
	if (!fOutput)
		return RunEnd{kExitSuccess, ""};
	Surface& surface = *fSavers.front()->View();
	if (fSoak)
		std::printf("%s\n", fSoak->Summary(surface.Dimensions(), {}).c_str());

	Result<void> finished = fOutput->Finish();
	if (!finished)
		return RunEnd{kExitFailure, finished.Message()};

	// The output still holds the pixels it lent for the last frame.
	std::string wrote;
	if (fSnapshot) {
		Result<void> written = WriteSnapshot(*fSnapshot, surface.Pixels());
		if (!written)
			return RunEnd{kExitFailure, written.Message()};
		wrote = "wrote " + *fOptions.snapshotPath + " (" + SizeText(surface.Dimensions())
			+ ")";
	}
	return RunEnd{kExitSuccess, wrote};
}


RunEnd
SaverRun::_Interrupted(int signal) const
{
	return RunEnd{kExitSignalBase + signal, "interrupted after " + std::to_string(fFrame)
		+ " frames" + Unwritten(fOptions)};
}


// Ends the run: the savers stop and the outputs give back the screen or the
// terminal before the message, so that the message stays visible.
int
SaverRun::_End(const RunEnd& end)
{
	for (const std::unique_ptr<SaverScreen>& saver : fSavers)
		saver->Stop();
	fOutput.reset();
	fScreens.reset();
	if (!end.message.empty())
		Report(end.message);
	return end.status;
}

}	// namespace


int
RunSaver(const Options& options, const std::string& modulePath)
{
	SteadyClock clock;
	return RunSaver(options, modulePath, clock, std::unique_ptr<Output>());
}


int
RunSaver(const Options& options, const std::string& modulePath, const MonotonicClock& clock,
	std::unique_ptr<Output> output)
{
	if (options.clock)
		PinClock(*options.clock);
	return SaverRun(options, modulePath, clock, std::move(output), nullptr).Run();
}


int
RunSaver(const Options& options, const std::string& modulePath, const MonotonicClock& clock,
	std::unique_ptr<Screens> screens)
{
	if (options.clock)
		PinClock(*options.clock);
	return SaverRun(options, modulePath, clock, nullptr, std::move(screens)).Run();
}
