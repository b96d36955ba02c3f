// saverhost end to end, on where its frames go: the choice of output, videos
// through ffmpeg, numbered PNGs, and runs stopped by a signal.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "HostProcess.h"
#include "ScratchFolder.h"

namespace fs = std::filesystem;

namespace {

bool
HaveProgram(const char* name)
{
	std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
	return std::system(command.c_str()) == 0;
}


struct VideoFacts {
	int width = 0;
	int height = 0;
	int frames = 0;
};


// What ffprobe reads in the file's video stream, decoding every frame; none
// when it cannot read the file.
std::optional<VideoFacts>
Probe(const fs::path& video)
{
	std::string command = "ffprobe -v error -count_frames -select_streams v:0 "
		"-show_entries stream=width,height,nb_read_frames -of csv=p=0 '" + video.string()
		+ "' 2>/dev/null";
	std::FILE* pipe = popen(command.c_str(), "r");
	if (pipe == nullptr)
		return std::nullopt;
	VideoFacts facts;
	int fields = std::fscanf(pipe, "%d,%d,%d", &facts.width, &facts.height, &facts.frames);
	int status = pclose(pipe);
	if (fields != 3 || status != 0)
		return std::nullopt;
	return facts;
}


// A limit on the size of the files this process and its children write, as
// a full disk would stop them: a write past it fails with EFBIG instead of
// raising SIGXFSZ, which is ignored meanwhile.
class FileSizeLimit {
public:
	explicit FileSizeLimit(rlim_t bytes)
	{
		getrlimit(RLIMIT_FSIZE, &fPrevious);
		fPreviousHandler = signal(SIGXFSZ, SIG_IGN);
		struct rlimit limit = fPrevious;
		limit.rlim_cur = bytes;
		setrlimit(RLIMIT_FSIZE, &limit);
	}
	~FileSizeLimit()
	{
		setrlimit(RLIMIT_FSIZE, &fPrevious);
		signal(SIGXFSZ, fPreviousHandler);
	}

private:
	struct rlimit fPrevious;
	sighandler_t fPreviousHandler;
};


class HostOutputTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_FALSE(fRoot.empty());
		fs::create_directory(fDirectory);
	}

	HostRun Run(const std::vector<std::string>& arguments,
		const std::vector<std::string>& environment = {})
	{
		return RunHost(fRoot, arguments, environment);
	}

	std::vector<std::string> Entries(const fs::path& directory) const
	{
		std::vector<std::string> names;
		for (const fs::directory_entry& entry : fs::directory_iterator(directory))
			names.push_back(entry.path().filename().string());
		std::sort(names.begin(), names.end());
		return names;
	}

	void RequireFfmpeg()
	{
		if (!HaveProgram("ffmpeg") || !HaveProgram("ffprobe"))
			GTEST_SKIP() << "needs ffmpeg and ffprobe";
	}

	ScratchFolder fScratch{"saverhost"};
	const fs::path fRoot = fScratch.Path();
	const fs::path fDirectory = fRoot / "work";
};

}	// namespace


// #pragma mark - choice of output


TEST_F(HostOutputTest, WindowAskedForWithoutADisplayFailsBeforeLoadingTheSaver)
{
	struct Case {
		std::vector<std::string> arguments;
		std::string option;
	};
	const Case cases[] = {
		{{"--output", "window"}, "--output window"},
		{{"--fullscreen"}, "--fullscreen"},
	};
	for (const Case& test : cases) {
		std::vector<std::string> arguments = {RECORDING_SAVER_PATH};
		arguments.insert(arguments.end(), test.arguments.begin(), test.arguments.end());
		HostRun run = Run(arguments);
		EXPECT_EQ(run.status, 1);
		EXPECT_EQ(run.err, "saverhost: no display for " + test.option
			+ " (is WAYLAND_DISPLAY or DISPLAY set?); try --output terminal\n");
	}
}


TEST_F(HostOutputTest, DigestsRunHeadlessEvenWhereADisplayIsNamed)
{
	// A display that cannot be there: trying it would say so on stderr.
	HostRun run = Run({"--digest", "--frames", "2", "--size", "32x24"},
		{"DISPLAY=:987654"});
	ASSERT_EQ(run.status, 0) << run.err;
	EXPECT_TRUE(std::regex_match(run.out, std::regex("(frame [12] [0-9a-f]{16}\n){2}")))
		<< run.out;
	EXPECT_EQ(run.err, "");
}


TEST_F(HostOutputTest, WindowThatDoesNotOpenGivesWayInOneLineUnlessAskedFor)
{
	// A display named but not there. The display libraries keep some memory
	// to the end of the process, which a leak-checking build must not count
	// against saverhost.
	fs::path suppressions = fRoot / "system-libraries.supp";
	std::ofstream(suppressions) << "leak:libdbus-1.so\nleak:libSDL2\n";
	// Without XDG_RUNTIME_DIR, the Wayland library would complain if tried.
	const std::vector<std::string> deadDisplay = {"DISPLAY=:987654", "XDG_RUNTIME_DIR",
		"LSAN_OPTIONS=suppressions=" + suppressions.string() + ":print_suppressions=0"};
	HostRun chosen = Run({"--frames", "1", "--size", "8x8"}, deadDisplay);
	ASSERT_EQ(chosen.status, 0) << chosen.err;
	// One line, saverhost's own, whatever the display libraries would say.
	EXPECT_EQ(chosen.err, "saverhost: cannot open display \":987654\" (no X server answers "
		"there); running headless\n");

	HostRun asked = Run({"--output", "window", "--frames", "1"}, deadDisplay);
	EXPECT_EQ(asked.status, 1);
	EXPECT_EQ(asked.err, "saverhost: cannot open display \":987654\" (no X server answers "
		"there); try --output terminal\n");
}


TEST_F(HostOutputTest, SignalStopsAndDeletesTheSaverAndThenKillsTheProcess)
{
	for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
		HostProcess host(fRoot, {RECORDING_SAVER_PATH, "--output", "headless", "--size",
			"4x4", "--frames", "2147483647"});
		ASSERT_TRUE(host.WaitForError("saver: Draw 1\n", std::chrono::seconds(20)));
		HostRun run = host.Stop(signal);
		EXPECT_EQ(run.killedBy, signal);
		std::vector<std::string> calls = run.SaverCalls();
		ASSERT_GE(calls.size(), 2u);
		EXPECT_EQ(calls[calls.size() - 2], "StopSaver");
		EXPECT_EQ(calls.back(), "delete");
		EXPECT_NE(run.err.find("saverhost: interrupted after "), std::string::npos);
	}
}


// #pragma mark - recordings


TEST_F(HostOutputTest, RecordingHoldsEveryFrameAtTheViewSize)
{
	RequireFfmpeg();
	struct Case {
		const char* name;
		const char* size;
		VideoFacts expected;
	};
	// H.264 in 4:2:0 needs even sides: an odd one grows by a line.
	const Case cases[] = {
		{"dust.mp4", "64x48", {64, 48, 30}},
		{"odd.mp4", "33x21", {34, 22, 30}},
		{"dust.gif", "40x30", {40, 30, 30}},
	};
	for (const Case& test : cases) {
		fs::path video = fDirectory / test.name;
		HostRun run = Run({"--record", video.string(), "--size", test.size, "--frames", "30"});
		ASSERT_EQ(run.status, 0) << run.err;
		EXPECT_NE(run.err.find("saverhost: wrote " + video.string() + " (30 frames"),
			std::string::npos) << run.err;

		std::optional<VideoFacts> facts = Probe(video);
		ASSERT_TRUE(facts) << test.name;
		EXPECT_EQ(facts->width, test.expected.width) << test.name;
		EXPECT_EQ(facts->height, test.expected.height) << test.name;
		EXPECT_EQ(facts->frames, test.expected.frames) << test.name;
	}
	EXPECT_EQ(Entries(fDirectory), (std::vector<std::string>{"dust.gif", "dust.mp4",
		"odd.mp4"}));
}


TEST_F(HostOutputTest, RecordingThatCannotBeWrittenIsRefusedBeforeTheSaverStarts)
{
	fs::path directory = fDirectory / "taken.mp4";
	fs::create_directory(directory);
	struct Case {
		fs::path path;
		std::string reason;
	};
	const Case cases[] = {
		{fDirectory / "missing" / "out.mp4",
			"no such directory \"" + (fDirectory / "missing").string() + "\""},
		{directory, "it is a directory"},
	};
	for (const Case& test : cases) {
		HostRun run = Run({RECORDING_SAVER_PATH, "--record", test.path.string()});
		EXPECT_EQ(run.status, 1);
		EXPECT_NE(run.err.find("saverhost: cannot write \"" + test.path.string() + "\": "
			+ test.reason + "\n"), std::string::npos) << run.err;
		std::vector<std::string> calls = run.SaverCalls();
		EXPECT_EQ(std::count(calls.begin(), calls.end(), "StartSaver 640x480 preview 0"), 0)
			<< run.err;
	}
	EXPECT_EQ(Entries(fDirectory), std::vector<std::string>{"taken.mp4"});
}


TEST_F(HostOutputTest, RecordingWithoutFfmpegSaysWhatToInstall)
{
	fs::path empty = fRoot / "empty-path";
	fs::create_directory(empty);
	HostRun run = Run({RECORDING_SAVER_PATH, "--record", (fDirectory / "x.mp4").string()},
		{"PATH=" + empty.string()});
	EXPECT_EQ(run.status, 1);
	EXPECT_NE(run.err.find("saverhost: --record needs the ffmpeg program; install it "
		"(apt-get install ffmpeg) or use --png-dir\n"), std::string::npos) << run.err;
	EXPECT_TRUE(Entries(fDirectory).empty());
	for (const std::string& call : run.SaverCalls())
		EXPECT_EQ(call.rfind("StartSaver", 0), std::string::npos);
}


TEST_F(HostOutputTest, FailingFfmpegIsAnErrorWithItsLastWordsAndLeavesNoFile)
{
	// An ffmpeg that offers every encoder and then refuses the work.
	fs::path bin = fRoot / "bin";
	fs::create_directory(bin);
	{
		std::ofstream script(bin / "ffmpeg");
		script << "#!/bin/sh\n"
			"case \"$*\" in *-encoders*) echo ' V....D libx264 H.264'; exit 0;; esac\n"
			"echo 'first complaint' >&2\n"
			"echo 'Conversion failed!' >&2\n"
			"exit 3\n";
	}
	fs::permissions(bin / "ffmpeg", fs::perms::owner_all);

	fs::path video = fDirectory / "x.mp4";
	HostRun run = Run({"--record", video.string(), "--size", "320x240", "--frames", "50"},
		{"PATH=" + bin.string() + ":/usr/bin:/bin"});
	EXPECT_EQ(run.status, 1);
	EXPECT_NE(run.err.find("(exit status 3) while recording \"" + video.string()
		+ "\"; it said:\n  first complaint\n  Conversion failed!\n"), std::string::npos)
		<< run.err;
	EXPECT_TRUE(Entries(fDirectory).empty());
}


TEST_F(HostOutputTest, InterruptedRecordingLeavesAPlayableFileOrNone)
{
	RequireFfmpeg();
	fs::path video = fDirectory / "long.mp4";
	HostProcess host(fRoot, {"--record", video.string(), "--size", "160x120", "--frames",
		"100000"});

	// Stop it once ffmpeg has written something under the temporary name.
	auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
	while (std::chrono::steady_clock::now() < deadline) {
		bool writing = false;
		for (const fs::directory_entry& entry : fs::directory_iterator(fDirectory))
			writing = writing || (entry.is_regular_file() && entry.file_size() > 0);
		if (writing)
			break;
		std::this_thread::sleep_for(std::chrono::milliseconds(20));
	}
	HostRun run = host.Stop(SIGTERM);
	EXPECT_EQ(run.killedBy, SIGTERM) << run.err;

	std::vector<std::string> left = Entries(fDirectory);
	if (!left.empty()) {
		EXPECT_EQ(left, std::vector<std::string>{"long.mp4"});
		EXPECT_TRUE(Probe(video)) << "the recording left behind does not play";
	}
}


// #pragma mark - PNG frames


TEST_F(HostOutputTest, PngDirectoryGetsOneNumberedImagePerFrame)
{
	fs::path frames = fDirectory / "frames";
	HostRun run = Run({"--png-dir", frames.string(), "--size", "8x6", "--frames", "3"});
	ASSERT_EQ(run.status, 0) << run.err;
	EXPECT_EQ(Entries(frames), (std::vector<std::string>{"frame-000001.png",
		"frame-000002.png", "frame-000003.png"}));

	// Without --frames, ten seconds of them.
	HostRun tenSeconds = Run({"--png-dir", frames.string(), "--size", "2x2"});
	ASSERT_EQ(tenSeconds.status, 0) << tenSeconds.err;
	std::vector<std::string> names = Entries(frames);
	ASSERT_EQ(names.size(), 250u);
	EXPECT_EQ(names.back(), "frame-000250.png");

	fs::path notADirectory = fDirectory / "file";
	std::ofstream(notADirectory) << "x";
	HostRun refused = Run({RECORDING_SAVER_PATH, "--png-dir", notADirectory.string()});
	EXPECT_EQ(refused.status, 1);
	EXPECT_NE(refused.err.find("saverhost: cannot write frames into \""
		+ notADirectory.string() + "\": it is not a directory"), std::string::npos)
		<< refused.err;
}


// A write the system refuses is named by the system's reason, and leaves no
// file behind, whole or partial: neither the snapshot nor the frame.
TEST_F(HostOutputTest, FailedPngWriteSaysWhyAndLeavesNoPartialFile)
{
	fs::path snapshot = fDirectory / "last.png";
	fs::path frames = fDirectory / "frames";
	struct Case {
		std::vector<std::string> arguments;
		fs::path failed;
	};
	// Each image is several times the limit, so libpng's writes meet it.
	const Case cases[] = {
		{{"--frames", "30", "--snapshot", snapshot.string()}, snapshot},
		{{"--frames", "2", "--png-dir", frames.string()}, frames / "frame-000001.png"},
	};
	FileSizeLimit limit(2048);
	for (const Case& test : cases) {
		std::vector<std::string> arguments = {"--size", "320x240", "--clock", "7"};
		arguments.insert(arguments.end(), test.arguments.begin(), test.arguments.end());
		HostRun run = Run(arguments);
		EXPECT_EQ(run.status, 1);
		EXPECT_EQ(run.err, "saverhost: cannot write \"" + test.failed.string()
			+ "\": file too large\n");
	}
	EXPECT_EQ(Entries(fDirectory), std::vector<std::string>{"frames"});
	EXPECT_TRUE(Entries(frames).empty());
}
