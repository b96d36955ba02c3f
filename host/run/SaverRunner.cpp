#include "run/SaverRunner.h"

#include <cstdio>
#include <optional>

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


// Between a successful StartSaver() and StopSaver(): stops the saver however
// the run ends.
class RunningSaver {
public:
	explicit RunningSaver(BScreenSaver& saver) : fSaver(saver) {}
	~RunningSaver() { Stop(); }

	RunningSaver(const RunningSaver&) = delete;
	RunningSaver& operator=(const RunningSaver&) = delete;

	status_t Start(BView* view, bool preview)
	{
		Stop();
		status_t status = fSaver.StartSaver(view, preview);
		fRunning = status == B_OK;
		return status;
	}

	void Stop()
	{
		if (fRunning)
			fSaver.StopSaver();
		fRunning = false;
	}

private:
	BScreenSaver& fSaver;
	bool fRunning = false;
};


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


// One run of one saver, as a sequence of steps. The members are destroyed in
// the reverse order of their declaration: the saver is stopped, the view
// and the saver are deleted while the module's code is still there, and an
// unwritten snapshot is removed last; the signal handlers go at the very end.
class SaverRun {
public:
	// Without a given output, the options choose one.
	SaverRun(const Options& options, const std::string& modulePath,
		const MonotonicClock& clock, std::unique_ptr<Output> output)
		:
		fOptions(options),
		fModulePath(modulePath),
		fClock(clock),
		fGivenOutput(std::move(output))
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
	StepResult _Prepare();
	StepResult _OpenOutput();
	StepResult _ShowSettings();
	StepResult _StartFirstView();
	StepResult _TickLoop();
	StepResult _Finish();

	Result<void> _StartOnView(Size size);
	StepResult _AwaitTick(bool& quit);
	StepResult _DrawFrame();
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
	std::optional<SaverModule> fModule;
	// The saver's state: none kept, so an empty message. The saver may hold
	// on to it, so it lives as long as the saver.
	BMessage fArchive;
	std::unique_ptr<BScreenSaver> fSaver;
	std::unique_ptr<Output> fGivenOutput;
	std::unique_ptr<Output> fOutput;
	Size fFullSize;
	std::unique_ptr<Surface> fSurface;
	std::optional<RunningSaver> fRunning;

	// The tick loop's state.
	std::optional<Ticker> fTicker;
	std::optional<StatsMeter> fMeter;
	std::optional<Soak> fSoak;
	bool fPaced = false;
	bigtime_t fPeriod = 0;
	int32_t fFrame = 0;
};


// Everything that can be refused is refused before the saver starts: the
// snapshot's file, the output's plan, the module and the saver.
StepResult
SaverRun::_Prepare()
{
	if (fOptions.RunsSaver() && fOptions.snapshotPath) {
		Result<AtomicFile> file = AtomicFile::Create(*fOptions.snapshotPath);
		if (!file)
			return RunEnd{kExitFailure, file.Message()};
		fSnapshot.emplace(std::move(file.Value()));
	}

	if (!fGivenOutput) {
		Result<OutputPlan> plan = PlanOutput(fOptions, LookAround());
		if (!plan)
			return RunEnd{kExitFailure, plan.Message()};
		fPlan = plan.Value();
	}

	Result<SaverModule> module = SaverModule::Load(fModulePath);
	if (!module)
		return RunEnd{kExitFailure, module.Message()};
	fModule.emplace(std::move(module.Value()));

	Result<std::unique_ptr<BScreenSaver>> created = fModule->Instantiate(&fArchive);
	if (!created)
		return RunEnd{kExitFailure, created.Message()};
	fSaver = std::move(created.Value());
	fRunning.emplace(*fSaver);
	if (status_t status = fSaver->InitCheck(); status != B_OK) {
		return RunEnd{kExitFailure, "\"" + fModulePath + "\": the saver failed to initialise "
			"(status " + std::to_string(status) + ")"};
	}
	return std::nullopt;
}


StepResult
SaverRun::_OpenOutput()
{
	if (fGivenOutput) {
		Result<Size> opened = fGivenOutput->Open(fOptions);
		if (!opened)
			return RunEnd{kExitFailure, opened.Message()};
		fOutput = std::move(fGivenOutput);
		fFullSize = opened.Value();
		return std::nullopt;
	}

	auto opened = OpenFirstOutput(fPlan, fOptions);
	if (!opened)
		return RunEnd{kExitFailure, opened.Message()};
	if (!fPlan.notice.empty())
		Report(fPlan.notice);
	fOutput = std::move(opened.Value().first);
	fFullSize = opened.Value().second;
	return std::nullopt;
}


// --config: the panel first; alone, it is the whole run.
StepResult
SaverRun::_ShowSettings()
{
	if (fOptions.config) {
		Result<void> shown = fOutput->ShowSettings(::ShowSettings(*fSaver));
		if (!shown)
			return RunEnd{kExitFailure, shown.Message()};
		if (!fOptions.RunsSaver())
			return RunEnd{kExitSuccess, ""};
	}
	if (int signal = fInterrupts.Caught())
		return _Interrupted(signal);
	return std::nullopt;
}


// A new view of the size, with the saver started on it.
Result<void>
SaverRun::_StartOnView(Size size)
{
	fRunning->Stop();
	fSurface.reset();
	Result<std::unique_ptr<Surface>> made
		= Surface::Create(size, fOptions.preview ? "preview" : "saver");
	if (!made)
		return Error{made.Message()};
	fSurface = std::move(made.Value());
	if (status_t status = fRunning->Start(fSurface->View(), fOptions.preview); status != B_OK) {
		return Error{"the saver refused to start on a " + SizeText(size) + " view (status "
			+ std::to_string(status) + ")"};
	}
	return {};
}


StepResult
SaverRun::_StartFirstView()
{
	Result<void> started = _StartOnView(fOptions.preview ? kPreviewSize : fFullSize);
	if (!started) {
		if (fOptions.preview && fSurface) {
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


// One Draw() a tick, paced or back to back, until the frames are done or
// the user stops the run.
StepResult
SaverRun::_TickLoop()
{
	if (fOptions.fps)
		fMeter.emplace(fClock, ProcessCpuTime);
	fPaced = fOutput->Paced() || fOptions.paced;
	fPeriod = fSaver->TickSize();
	fOutput->TickPeriod(std::chrono::microseconds(fPeriod));
	fTicker.emplace(fClock);
	if (fOptions.soak)
		fSoak.emplace(*fOptions.soak);

	std::optional<int32_t> frames = fOptions.frames ? fOptions.frames
		: fOutput->DefaultFrames();
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


// Until the tick is due, acts on what happens at the output: a quit, a
// signal, a new size for the view. While nobody can see the frames, none are
// due: the run waits until somebody can, then goes on at the next tick on
// the grid, without making up for the ticks it let pass.
StepResult
SaverRun::_AwaitTick(bool& quit)
{
	bool outOfSight = false;
	while (true) {
		if (int signal = fInterrupts.Caught())
			return _Interrupted(signal);
		OutputEvents events = !fPaced ? fOutput->Poll()
			: fOutput->WaitUntil(outOfSight ? fClock.Now() + kOutOfSightWait
				: fTicker->Deadline());
		if (int signal = fInterrupts.Caught())
			return _Interrupted(signal);
		if (events.quit) {
			quit = true;
			return std::nullopt;
		}
		// The preview keeps its size whatever the window does.
		Size current = fSurface->Dimensions();
		std::optional<Size> resized = events.resized;
		if (resized && !fOptions.preview && resized->width >= 1 && resized->height >= 1
			&& resized->width <= kMaxViewSide && resized->height <= kMaxViewSide
			&& (resized->width != current.width || resized->height != current.height)) {
			Result<void> restarted = _StartOnView(*resized);
			if (!restarted)
				return RunEnd{kExitFailure, restarted.Message()};
			if (fPaced)
				continue;
		}
		if (fPaced && events.outOfSight) {
			outOfSight = true;
			continue;
		}
		if (outOfSight) {
			outOfSight = false;
			fTicker->Resume(fPeriod);
			// The figures of --fps start afresh, without the pause in them.
			if (fMeter)
				fMeter.emplace(fClock, ProcessCpuTime);
			continue;
		}
		return std::nullopt;
	}
}


// One Draw() into the pixels the output lends, or the surface's own, then
// the digest, the present, the soak's checks and the --fps figures.
StepResult
SaverRun::_DrawFrame()
{
	MonotonicClock::TimePoint drawStart = fClock.Now();
	std::optional<PixelTarget> lent = fOutput->LendPixels(fSurface->Dimensions());
	fSurface->DrawInto(lent);
	fSaver->Draw(fSurface->View(), fFrame);
	PixelView pixels = fSurface->Pixels();
	const Damage& damage = fSurface->TakeDamage();
	if (fOptions.digest) {
		std::printf("frame %ld %s\n", static_cast<long>(fFrame) + 1,
			FormatDigest(FrameDigest(pixels)).c_str());
	}
	Result<void> shown = fOutput->Present(pixels, damage);
	if (!shown)
		return RunEnd{kExitFailure, shown.Message()};
	if (Result<void> healthy = fSoak ? fSoak->FrameDone(fFrame) : Result<void>(); !healthy) {
		std::printf("%s\n", fSoak->Summary(fSurface->Dimensions(), healthy).c_str());
		return RunEnd{kExitFailure, ""};
	}
	if (fMeter) {
		if (std::optional<FrameStats> stats = fMeter->FrameDone(fClock.Now() - drawStart))
			fOutput->ShowStats(*stats);
	}

	if (bigtime_t asked = fSaver->TickSize(); asked != fPeriod) {
		fPeriod = asked;
		fOutput->TickPeriod(std::chrono::microseconds(fPeriod));
	}
	fTicker->Advance(fPeriod);
	return std::nullopt;
}


// The saver stops, the output completes what it wrote, and the snapshot is
// taken of the last frame.
StepResult
SaverRun::_Finish()
{
	fRunning->Stop();
	if (fSoak)
		std::printf("%s\n", fSoak->Summary(fSurface->Dimensions(), {}).c_str());

	Result<void> finished = fOutput->Finish();
	if (!finished)
		return RunEnd{kExitFailure, finished.Message()};

	// The output still holds the pixels it lent for the last frame.
	std::string wrote;
	if (fSnapshot) {
		Result<void> written = WriteSnapshot(*fSnapshot, fSurface->Pixels());
		if (!written)
			return RunEnd{kExitFailure, written.Message()};
		wrote = "wrote " + *fOptions.snapshotPath + " (" + SizeText(fSurface->Dimensions())
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


// Ends the run: the saver stops and the output gives back the screen or the
// terminal before the message, so that the message stays visible.
int
SaverRun::_End(const RunEnd& end)
{
	if (fRunning)
		fRunning->Stop();
	fOutput.reset();
	if (!end.message.empty())
		Report(end.message);
	return end.status;
}

}	// namespace


int
RunSaver(const Options& options, const std::string& modulePath)
{
	SteadyClock clock;
	return RunSaver(options, modulePath, clock, nullptr);
}


int
RunSaver(const Options& options, const std::string& modulePath, const MonotonicClock& clock,
	std::unique_ptr<Output> output)
{
	if (options.clock)
		PinClock(*options.clock);
	return SaverRun(options, modulePath, clock, std::move(output)).Run();
}
