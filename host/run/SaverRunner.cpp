#include "run/SaverRunner.h"

#include <cstdio>
#include <optional>

#include "base/Report.h"
#include "module/SaverModule.h"
#include "outputs/Output.h"
#include "outputs/OutputChoice.h"
#include "outputs/files/AtomicFile.h"
#include "outputs/files/PngWriter.h"
#include "run/Clock.h"
#include "run/Digest.h"
#include "run/Interrupt.h"
#include "run/MonotonicClock.h"
#include "run/SettingsPanel.h"
#include "run/Soak.h"
#include "run/StatsMeter.h"
#include "run/Surface.h"
#include "run/Ticker.h"


namespace {

std::string
SizeText(Size size)
{
	return std::to_string(size.width) + "x" + std::to_string(size.height);
}


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
OpenOutput(const OutputPlan& plan, const Options& options)
{
	std::string failure;
	for (size_t i = 0; i < plan.candidates.size(); i++) {
		OutputKind kind = plan.candidates[i];
		std::unique_ptr<Output> output = MakeOutput(kind);
		if (output) {
			Result<Size> opened = output->Open(options);
			if (opened)
				return std::make_pair(std::move(output), opened.Value());
			failure = opened.Message();
		} else {
			failure = std::string("this saverhost was built without the ") + OutputName(kind)
				+ " output";
		}

		if (i + 1 < plan.candidates.size() && !plan.asked) {
			// The next output is taken anyway: a hint to try one is moot.
			std::string reason = failure.substr(0, failure.find("; try --output"));
			OutputKind next = plan.candidates[i + 1];
			Report(reason + (next == OutputKind::Headless ? "; running headless"
				: std::string("; using the ") + OutputName(next) + " instead"));
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

}	// namespace


int
RunSaver(const Options& options, const std::string& modulePath)
{
	if (options.clock)
		PinClock(*options.clock);

	// A signal from here on stops the run between two steps; the objects
	// below then go in order, and each output puts back what it changed.
	InterruptGuard interrupts;

	// Everything that can be refused is refused before the saver starts.
	// The objects below go in the reverse order: the saver is stopped, the
	// views and the saver are deleted while the module's code is still
	// there, and an unwritten snapshot is removed last.
	std::optional<AtomicFile> snapshot;
	if (options.RunsSaver() && options.snapshotPath) {
		Result<AtomicFile> file = AtomicFile::Create(*options.snapshotPath);
		if (!file)
			return Fail(file.Message());
		snapshot.emplace(std::move(file.Value()));
	}

	Result<OutputPlan> plan = PlanOutput(options, LookAround());
	if (!plan)
		return Fail(plan.Message());

	Result<SaverModule> module = SaverModule::Load(modulePath);
	if (!module)
		return Fail(module.Message());

	// The saver's state: none kept, so an empty message. The saver may hold
	// on to it, so it lives as long as the saver.
	BMessage archive;
	Result<std::unique_ptr<BScreenSaver>> created = module.Value().Instantiate(&archive);
	if (!created)
		return Fail(created.Message());
	std::unique_ptr<BScreenSaver> saver = std::move(created.Value());
	if (status_t status = saver->InitCheck(); status != B_OK) {
		return Fail("\"" + modulePath + "\": the saver failed to initialise (status "
			+ std::to_string(status) + ")");
	}

	auto opened = OpenOutput(plan.Value(), options);
	if (!opened)
		return Fail(opened.Message());
	if (!plan.Value().notice.empty())
		Report(plan.Value().notice);
	std::unique_ptr<Output> output = std::move(opened.Value().first);
	Size fullSize = opened.Value().second;

	std::unique_ptr<Surface> surface;
	RunningSaver running(*saver);

	// Ends the run: the saver stops and the output gives back the screen or
	// the terminal before the message, so that the message stays visible.
	auto end = [&](int status, const std::string& message) {
		running.Stop();
		output.reset();
		if (!message.empty())
			Report(message);
		return status;
	};
	auto interrupted = [&](int signal, int32_t frames) {
		return end(kExitSignalBase + signal, "interrupted after " + std::to_string(frames)
			+ " frames" + Unwritten(options));
	};

	if (options.config) {
		Result<void> shown = output->ShowSettings(ShowSettings(*saver));
		if (!shown)
			return end(kExitFailure, shown.Message());
		if (!options.RunsSaver())
			return end(kExitSuccess, "");
	}
	if (int signal = interrupts.Caught())
		return interrupted(signal, 0);

	// A new view of the size, with the saver started on it.
	auto start = [&](Size size) -> Result<void> {
		running.Stop();
		surface.reset();
		Result<std::unique_ptr<Surface>> made
			= Surface::Create(size, options.preview ? "preview" : "saver");
		if (!made)
			return Error{made.Message()};
		surface = std::move(made.Value());
		if (status_t status = running.Start(surface->View(), options.preview); status != B_OK) {
			return Error{"the saver refused to start on a " + SizeText(size) + " view (status "
				+ std::to_string(status) + ")"};
		}
		return {};
	};

	Result<void> started = start(options.preview ? kPreviewSize : fullSize);
	if (!started) {
		if (options.preview && surface) {
			output->ShowNotice("the saver declined to run in the preview"
				+ Unwritten(options));
			return end(kExitSuccess, "");
		}
		return end(kExitFailure, started.Message());
	}

	SteadyClock clock;
	std::optional<StatsMeter> meter;
	if (options.fps)
		meter.emplace(clock, ProcessCpuTime);
	const bool paced = output->Paced() || options.paced;
	bigtime_t period = saver->TickSize();
	output->TickPeriod(std::chrono::microseconds(period));
	Ticker ticker(clock);
	std::optional<Soak> soak;
	if (options.soak)
		soak.emplace(*options.soak);

	std::optional<int32_t> frames = options.frames ? options.frames : output->DefaultFrames();
	int32_t frame = 0;
	for (; !frames || frame < *frames; frame++) {
		// Until the tick is due, act on what happens at the output.
		bool quit = false;
		while (true) {
			if (int signal = interrupts.Caught())
				return interrupted(signal, frame);
			OutputEvents events = paced ? output->WaitUntil(ticker.Deadline())
				: output->Poll();
			if (int signal = interrupts.Caught())
				return interrupted(signal, frame);
			if (events.quit) {
				quit = true;
				break;
			}
			// The preview keeps its size whatever the window does.
			Size current = surface->Dimensions();
			if (events.resized && !options.preview && events.resized->width >= 1
				&& events.resized->height >= 1 && events.resized->width <= kMaxViewSide
				&& events.resized->height <= kMaxViewSide
				&& (events.resized->width != current.width
					|| events.resized->height != current.height)) {
				Result<void> restarted = start(*events.resized);
				if (!restarted)
					return end(kExitFailure, restarted.Message());
				if (paced)
					continue;
			}
			break;
		}
		if (quit)
			break;

		MonotonicClock::TimePoint drawStart = clock.Now();
		std::optional<PixelTarget> lent = output->LendPixels(surface->Dimensions());
		surface->DrawInto(lent);
		saver->Draw(surface->View(), frame);
		PixelView pixels = surface->Pixels();
		if (options.digest) {
			std::printf("frame %ld %s\n", static_cast<long>(frame) + 1,
				FormatDigest(FrameDigest(pixels)).c_str());
		}
		Result<void> shown = output->Present(pixels);
		if (!shown)
			return end(kExitFailure, shown.Message());
		if (Result<void> healthy = soak ? soak->FrameDone(frame) : Result<void>(); !healthy) {
			std::printf("%s\n", soak->Summary(surface->Dimensions(), healthy).c_str());
			return end(kExitFailure, "");
		}
		if (meter) {
			if (std::optional<FrameStats> stats = meter->FrameDone(clock.Now() - drawStart))
				output->ShowStats(*stats);
		}

		if (bigtime_t asked = saver->TickSize(); asked != period) {
			period = asked;
			output->TickPeriod(std::chrono::microseconds(period));
		}
		ticker.Advance(period);
	}
	running.Stop();
	if (soak)
		std::printf("%s\n", soak->Summary(surface->Dimensions(), {}).c_str());

	Result<void> finished = output->Finish();
	if (!finished)
		return end(kExitFailure, finished.Message());

	// The output still holds the pixels it lent for the last frame.
	std::string wrote;
	if (snapshot) {
		Result<void> written = WriteSnapshot(*snapshot, surface->Pixels());
		if (!written)
			return end(kExitFailure, written.Message());
		wrote = "wrote " + *options.snapshotPath + " (" + SizeText(surface->Dimensions()) + ")";
	}
	return end(kExitSuccess, wrote);
}
