// Frames to files: a video through ffmpeg (--record) and numbered PNG images
// (--png-dir), back to back as fast as the saver draws, with a progress bar
// on standard error when that is a terminal.
#ifndef SAVERHOST_FILE_OUTPUT_H
#define SAVERHOST_FILE_OUTPUT_H

#include <memory>
#include <optional>
#include <string>

#include "outputs/Output.h"
#include "outputs/files/AtomicFile.h"
#include "outputs/files/ProgressBar.h"
#include "outputs/files/VideoRecorder.h"
#include "base/MonotonicClock.h"

// Ticks written when --frames is not given: ten seconds at the usual 25 a
// second.
constexpr int32_t kDefaultFileFrames = 250;

// The name of the index-th frame in a PNG directory, from 1:
// DIRECTORY/frame-000001.png.
std::string PngFramePath(const std::string& directory, int32_t index);

class FileOutput : public Output {
public:
	FileOutput();
	~FileOutput() override;

	// Refuses before the saver starts what cannot work: no ffmpeg, a
	// directory or file that cannot be written.
	Result<Size> Open(const Options& options) override;
	bool Paced() const override { return false; }
	std::optional<int32_t> DefaultFrames() const override { return kDefaultFileFrames; }

	void TickPeriod(std::chrono::microseconds period) override;
	// Every frame is written whole, whatever changed.
	Result<void> Present(const PixelView& frame, const Damage& damage) override;
	void ShowStats(const FrameStats& stats) override;
	Result<void> Finish() override;

private:
	Result<void> _WritePngFrame(const PixelView& frame);

	SteadyClock fClock;
	std::unique_ptr<VideoRecorder> fVideo;
	std::string fVideoPath;
	std::optional<std::string> fPngDirectory;
	// The next frame's PNG, created ahead so that a directory that cannot
	// take it is found out at the start.
	std::optional<AtomicFile> fNextPng;
	int32_t fFrames = 0;
	Size fFrameSize;
	std::unique_ptr<ProgressBar> fProgress;
};

#endif	// SAVERHOST_FILE_OUTPUT_H
