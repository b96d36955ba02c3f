#include "SaverRunner.h"

#include <cstdio>
#include <optional>

#include "AtomicFile.h"
#include "Clock.h"
#include "Digest.h"
#include "Interrupt.h"
#include "Output.h"
#include "PngWriter.h"
#include "Report.h"
#include "SaverModule.h"
#include "SettingsPanel.h"
#include "Surface.h"


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
	explicit RunningSaver(BScreenSaver& saver) : fSaver(&saver) {}
	~RunningSaver() { Stop(); }

	RunningSaver(const RunningSaver&) = delete;
	RunningSaver& operator=(const RunningSaver&) = delete;

	void Stop()
	{
		if (fSaver != nullptr)
			fSaver->StopSaver();
		fSaver = nullptr;
	}

private:
	BScreenSaver* fSaver;
};


Result<void>
WriteSnapshot(AtomicFile& file, const PixelView& pixels)
{
	Result<void> written = WritePng(file.Stream(), pixels);
	if (!written)
		return Error{"cannot write \"" + file.Path() + "\": " + written.Message()};
	return file.Commit();
}

}	// namespace


int
RunSaver(const Options& options, const std::string& modulePath)
{
	if (options.clock)
		PinClock(*options.clock);

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

	std::unique_ptr<Output> output = MakeOutput(OutputKind::Headless);
	Result<Size> opened = output->Open(options);
	if (!opened)
		return Fail(opened.Message());

	if (options.config) {
		Result<void> shown = output->ShowSettings(ShowSettings(*saver));
		if (!shown)
			return Fail(shown.Message());
		if (!options.RunsSaver())
			return kExitSuccess;
	}
	Size size = options.preview ? kPreviewSize : opened.Value();

	Result<std::unique_ptr<Surface>> madeSurface
		= Surface::Create(size, options.preview ? "preview" : "saver");
	if (!madeSurface)
		return Fail(madeSurface.Message());
	std::unique_ptr<Surface> surface = std::move(madeSurface.Value());
	BView* view = surface->View();

	if (status_t status = saver->StartSaver(view, options.preview); status != B_OK) {
		if (options.preview) {
			output->ShowNotice(std::string("the saver declined to run in the preview")
				+ (snapshot ? "; no snapshot written" : ""));
			return kExitSuccess;
		}
		return Fail("the saver refused to start on a " + SizeText(size) + " view (status "
			+ std::to_string(status) + ")");
	}
	RunningSaver running(*saver);

	InterruptGuard interrupts;
	std::optional<int32_t> frames = options.frames ? options.frames : output->DefaultFrames();
	for (int32_t frame = 0; !frames || frame < *frames; frame++) {
		if (int signal = interrupts.Caught()) {
			running.Stop();
			Report("interrupted after " + std::to_string(frame) + " frames"
				+ (snapshot ? "; no snapshot written" : ""));
			return kExitSignalBase + signal;
		}

		if (output->Poll().quit)
			break;

		std::optional<PixelTarget> lent = output->LendPixels(surface->Dimensions());
		surface->DrawInto(lent);
		saver->Draw(view, frame);
		PixelView pixels = surface->Pixels();
		if (options.digest) {
			std::printf("frame %ld %s\n", static_cast<long>(frame) + 1,
				FormatDigest(FrameDigest(pixels)).c_str());
		}
		Result<void> shown = output->Present(pixels);
		if (!shown)
			return Fail(shown.Message());
	}
	running.Stop();

	Result<void> finished = output->Finish();
	if (!finished)
		return Fail(finished.Message());

	if (snapshot) {
		Result<void> written = WriteSnapshot(*snapshot, surface->Pixels());
		if (!written)
			return Fail(written.Message());
		Report("wrote " + *options.snapshotPath + " (" + SizeText(size) + ")");
	}
	return kExitSuccess;
}
