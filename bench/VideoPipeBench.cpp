// --record's side of the pipe: VideoRecorder::AddFrame() handing a 1920x1080
// frame to ffmpeg, against one memcpy of the canvas. ffmpeg's own work is in
// its process, and would hold the recorder up whenever it encodes slower than
// frames come; so the recorder is pointed at a stand-in "ffmpeg" that only
// reads and discards (cat into /dev/null), found first on PATH. The time is
// the benchmark thread's CPU time: the copy of the frame into the pipe and the
// system calls around it. The reader's CPU time is reported beside it.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "HostBench.h"
#include "RatioTable.h"
#include "ScratchFolder.h"
#include "outputs/files/VideoRecorder.h"

namespace fs = std::filesystem;


namespace {

// The folder holding the stand-in ffmpeg, made on first use and removed as
// the process ends; none, with the reason in why, when it could not be made.
const fs::path*
StandInFfmpeg(std::string& why)
{
	static ScratchFolder folder("bench");
	static const std::string failure = [] {
		if (folder.Path().empty())
			return "cannot make a directory for the stand-in ffmpeg";
		fs::path program = folder / "ffmpeg";
		std::ofstream(program) << "#!/bin/sh\nexec cat >/dev/null\n";
		return chmod(program.c_str(), 0755) != 0
			? "cannot make the stand-in ffmpeg executable" : "";
	}();
	why = failure;
	return failure.empty() ? &folder.Path() : nullptr;
}


// PATH with a directory in front, put back afterwards.
class PathInFront {
public:
	explicit PathInFront(const fs::path& directory)
	{
		const char* path = std::getenv("PATH");
		if (path != nullptr)
			fSaved = path;
		std::string ahead = directory.string() + (path != nullptr ? ":" + *fSaved : "");
		setenv("PATH", ahead.c_str(), 1);
	}

	~PathInFront()
	{
		if (fSaved)
			setenv("PATH", fSaved->c_str(), 1);
		else
			unsetenv("PATH");
	}

	PathInFront(const PathInFront&) = delete;
	PathInFront& operator=(const PathInFront&) = delete;

private:
	std::optional<std::string> fSaved;
};


double
ChildrenCpuSeconds()
{
	rusage usage{};
	getrusage(RUSAGE_CHILDREN, &usage);
	return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec
		+ usage.ru_stime.tv_usec * 1e-6;
}


void
VideoPipeBench(benchmark::State& state)
{
	const SaverFrames& frames = FramesAt(kFullHd);
	std::string why;
	const fs::path* ffmpeg = StandInFfmpeg(why);
	if (ffmpeg == nullptr) {
		state.SkipWithError(why.c_str());
		return;
	}

	// A GIF: the one format for which the recorder asks ffmpeg for no
	// encoder list first.
	fs::path target = *ffmpeg / "bench.gif";
	Result<std::unique_ptr<VideoRecorder>> prepared = [&] {
		PathInFront path(*ffmpeg);
		return VideoRecorder::Prepare(target.string(), VideoFormat::Gif);
	}();
	if (!prepared) {
		state.SkipWithError(prepared.Message().c_str());
		return;
	}
	VideoRecorder& recorder = *prepared.Value();

	double readerBefore = ChildrenCpuSeconds();
	const PixelView pair[2] = {frames.First(), frames.Second()};
	int which = 0;
	for (auto _ : state) {
		Result<void> added = recorder.AddFrame(pair[which]);
		which ^= 1;
		if (!added) {
			state.SkipWithError(added.Message().c_str());
			break;
		}
	}
	Result<void> finished = recorder.Finish();
	if (!finished)
		state.SkipWithError(finished.Message().c_str());
	std::error_code ignored;
	fs::remove(target, ignored);

	state.counters["reader_cpu_s"] = benchmark::Counter(ChildrenCpuSeconds() - readerBefore,
		benchmark::Counter::kAvgIterations);
	state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(frames.Bytes()));
}


bool
Register()
{
	std::string size = SizeText(kFullHd);
	std::string pipe = "VideoPipe/" + size;
	benchmark::RegisterBenchmark(pipe.c_str(), VideoPipeBench)->Unit(benchmark::kMicrosecond);
	AddRatioRow("video pipe / memcpy, " + size, pipe, "Memcpy/" + size, "none set");
	return true;
}

const bool kRegistered = Register();

}	// namespace
