#include "outputs/files/FileOutput.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/Report.h"
#include "base/SystemReason.h"
#include "outputs/files/PngWriter.h"
#include "outputs/files/VideoFormat.h"
#include "base/FrameStats.h"


namespace {

// The directory, made if it is not there yet (its parent must be).
Result<void>
MakeDirectory(const std::string& directory)
{
	struct stat info;
	if (stat(directory.c_str(), &info) == 0) {
		if (!S_ISDIR(info.st_mode))
			return Error{"cannot write frames into \"" + directory + "\": it is not a directory"};
		return {};
	}
	if (mkdir(directory.c_str(), 0777) != 0 && errno != EEXIST) {
		return Error{"cannot make the directory \"" + directory + "\": "
			+ SystemReason(errno)};
	}
	return {};
}

}	// namespace


std::string
PngFramePath(const std::string& directory, int32_t index)
{
	char name[32];
	std::snprintf(name, sizeof(name), "frame-%06ld.png", static_cast<long>(index));
	return directory + (directory.back() == '/' ? "" : "/") + name;
}


FileOutput::FileOutput() = default;


FileOutput::~FileOutput() = default;


Result<Size>
FileOutput::Open(const Options& options)
{
	if (options.pngDirectory) {
		Result<void> made = MakeDirectory(*options.pngDirectory);
		if (!made)
			return Error{made.Message()};
		Result<AtomicFile> first = AtomicFile::Create(PngFramePath(*options.pngDirectory, 1));
		if (!first)
			return Error{first.Message()};
		fNextPng.emplace(std::move(first.Value()));
		fPngDirectory = options.pngDirectory;
	}
	if (options.recordPath) {
		std::optional<VideoFormat> format = VideoFormatOf(*options.recordPath);
		if (!format)
			return Error{"--record " + *options.recordPath + ": the file name must end in "
				".mp4, .webm or .gif"};
		Result<std::unique_ptr<VideoRecorder>> video
			= VideoRecorder::Prepare(*options.recordPath, *format);
		if (!video)
			return Error{video.Message()};
		fVideo = std::move(video.Value());
		fVideoPath = *options.recordPath;
	}

	std::string label = fVideo ? "recording " + fVideoPath
		: "writing " + (fPngDirectory ? *fPngDirectory : std::string("frames"));
	fProgress = std::make_unique<ProgressBar>("saverhost: " + label,
		options.frames.value_or(kDefaultFileFrames), fClock, stderr,
		isatty(STDERR_FILENO) == 1);
	return options.size;
}


void
FileOutput::TickPeriod(std::chrono::microseconds period)
{
	if (fVideo && fFrames == 0)
		fVideo->SetTickPeriod(period);
}


Result<void>
FileOutput::_WritePngFrame(const PixelView& frame)
{
	if (!fNextPng) {
		Result<AtomicFile> file = AtomicFile::Create(PngFramePath(*fPngDirectory, fFrames + 1));
		if (!file)
			return Error{file.Message()};
		fNextPng.emplace(std::move(file.Value()));
	}
	Result<void> written = WritePng(fNextPng->Stream(), frame);
	if (!written)
		return Error{"cannot write \"" + fNextPng->Path() + "\": " + written.Message()};
	Result<void> committed = fNextPng->Commit();
	fNextPng.reset();
	return committed;
}


Result<void>
FileOutput::Present(const PixelView& frame, const Damage&)
{
	if (fPngDirectory) {
		Result<void> written = _WritePngFrame(frame);
		if (!written)
			return written;
	}
	if (fVideo) {
		Result<void> added = fVideo->AddFrame(frame);
		if (!added)
			return added;
	}
	fFrames++;
	fFrameSize = Size{frame.width, frame.height};
	fProgress->Update(fFrames);
	return {};
}


void
FileOutput::ShowStats(const FrameStats& stats)
{
	fProgress->SetNote(FormatStats(stats));
}


Result<void>
FileOutput::Finish()
{
	fProgress->End();
	std::string frames = std::to_string(fFrames) + (fFrames == 1 ? " frame" : " frames");
	if (fVideo) {
		Result<void> finished = fVideo->Finish();
		if (!finished)
			return finished;
		Report("wrote " + fVideoPath + " (" + frames + ", " + SizeText(fFrameSize) + ", "
			+ fVideo->FrameRateText() + " fps)");
	}
	if (fPngDirectory && fFrames > 0) {
		Report("wrote " + frames + " to " + PngFramePath(*fPngDirectory, 1)
			+ (fFrames > 1 ? " ..." : ""));
	}
	return {};
}
