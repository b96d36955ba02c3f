// --record: frames piped to the ffmpeg program, which encodes them into a
// temporary file beside the target; the file takes the target's name only
// when the encode has completed.
#ifndef SAVERHOST_VIDEO_RECORDER_H
#define SAVERHOST_VIDEO_RECORDER_H

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/PixelView.h"
#include "base/Result.h"
#include "outputs/files/AtomicFile.h"
#include "outputs/files/VideoFormat.h"

// The ffmpeg arguments that read raw B_RGB32 frames of width x height at
// rate frames a second (a number or a fraction, as in "25" or "1000000/33333")
// from standard input and write format to outputPath.
std::vector<std::string> FfmpegArguments(VideoFormat format, const std::string& encoder,
	int32_t width, int32_t height, const std::string& rate, const std::string& outputPath);

// The frame rate for a tick period: 1e6 / period, exact.
std::string FrameRate(std::chrono::microseconds period);

class VideoRecorder {
public:
	// Finds ffmpeg and an encoder for the format, and creates the temporary
	// file: all that can fail before the saver starts.
	static Result<std::unique_ptr<VideoRecorder>> Prepare(const std::string& path,
		VideoFormat format);

	// An unfinished recording is abandoned: ffmpeg is stopped and the
	// temporary file removed.
	~VideoRecorder();

	VideoRecorder(const VideoRecorder&) = delete;
	VideoRecorder& operator=(const VideoRecorder&) = delete;

	// The video's frame rate comes from the period in force at the first
	// frame.
	void SetTickPeriod(std::chrono::microseconds period) { fPeriod = period; }

	// Hands one frame to ffmpeg, starting it on the first one; every frame
	// must have the first one's size.
	Result<void> AddFrame(const PixelView& frame);

	// Lets ffmpeg complete the file and renames it into place.
	Result<void> Finish();

	int32_t Frames() const { return fFrames; }
	const std::string& FrameRateText() const { return fRate; }

private:
	VideoRecorder(std::string ffmpeg, std::string encoder, VideoFormat format, AtomicFile file,
		int errorLog);

	Result<void> _Start(int32_t width, int32_t height);
	Result<void> _Send(const uint8_t* bytes, size_t length);
	// Closes ffmpeg's input and waits for it; its exit status.
	int _Wait();
	// ffmpeg's failure, with the last lines it wrote on standard error.
	Error _Failed(const std::string& what) const;
	void _Abandon();

	std::string fFfmpeg;
	std::string fEncoder;
	VideoFormat fFormat;
	AtomicFile fFile;
	// ffmpeg's standard error, kept in an unlinked file to show on failure.
	int fErrorLog;
	std::chrono::microseconds fPeriod{40000};
	std::string fRate;
	pid_t fChild = -1;
	int fInput = -1;
	int32_t fWidth = 0;
	int32_t fHeight = 0;
	int32_t fFrames = 0;
};

// The named program as posix_spawnp() would find it on PATH, or none.
std::optional<std::string> FindProgram(const std::string& name);

#endif	// SAVERHOST_VIDEO_RECORDER_H
