// saverhost --soak end to end: a sound saver passes with a one-line summary;
// one that writes outside its canvas, leaks memory or piles up bitmaps fails
// with exit status 1 at the frame where it shows.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "HostProcess.h"
#include "ScratchFolder.h"

namespace fs = std::filesystem;

namespace {

class HostSoakTest : public ::testing::Test {
protected:
	void SetUp() override { ASSERT_FALSE(fScratch.Path().empty()); }

	HostRun Run(const std::vector<std::string>& arguments,
		const std::vector<std::string>& environment = {})
	{
		return RunHost(fScratch.Path(), arguments, environment);
	}

	ScratchFolder fScratch{"soak"};
};

}	// namespace


TEST_F(HostSoakTest, ASoundSaverPassesWithOneLineOfFigures)
{
	HostRun run = Run({"--soak", "3000", "--size", "160x120"});
	EXPECT_EQ(run.status, 0) << run.out << run.err;
	EXPECT_EQ(run.err, "");
	std::regex summary("soak: 3000 frames of 160x120 in [0-9]+\\.[0-9] s, [0-9]+ frames/s, "
		"max RSS [0-9]+\\.[0-9] MiB: passed\n");
	EXPECT_TRUE(std::regex_match(run.out, summary)) << run.out;
}


TEST_F(HostSoakTest, FaultsFailAtTheFrameWhereTheyShow)
{
	// The leaks are meant: the sanitizer builds must not add their own verdict.
	const std::string noLeakCheck = "ASAN_OPTIONS=detect_leaks=0";
	struct Case {
		std::string fault;
		std::string failure;
	};
	const Case cases[] = {
		{"FAULTY_SAVER_OVERRUN_AT=700", "FAILED after frame 700: a bitmap was written "
			"outside its pixels"},
		{"FAULTY_SAVER_LEAK_BYTES=65536", "FAILED after frame [0-9]+: resident memory "
			"is [0-9.]+ MiB, [0-9.]+ MiB after frame 201"},
		{"FAULTY_SAVER_LEAK_BITMAPS=1", "FAILED after frame 220: 22[0-9] bitmaps are "
			"alive, 20[0-9] after frame 201"},
	};
	for (const Case& test : cases) {
		HostRun run = Run({FAULTY_SAVER_PATH, "--soak", "2000", "--size", "64x48"},
			{test.fault, noLeakCheck});
		EXPECT_EQ(run.status, 1) << test.fault << "\n" << run.err;
		std::regex summary("soak: [0-9]+ frames of 64x48 in .*: " + test.failure + ".*\n");
		EXPECT_TRUE(std::regex_match(run.out, summary)) << test.fault << "\n" << run.out;
	}

	HostRun sound = Run({FAULTY_SAVER_PATH, "--soak", "2000", "--size", "64x48"});
	EXPECT_EQ(sound.status, 0) << sound.out;
}


TEST_F(HostSoakTest, RunsHeadlessForItsOwnCountOfFrames)
{
	struct Case {
		std::vector<std::string> arguments;
		std::string message;
	};
	const Case cases[] = {
		{{"--soak", "0"}, "--soak 0: expected a whole number from 1 to 2147483647"},
		{{"--soak", "-5"}, "--soak -5: expected a whole number from 1 to 2147483647"},
		{{"--soak"}, "--soak needs a count, as in --soak 200000"},
		{{"--soak", "10", "--frames", "5"}, "--soak runs headless on the full-screen view "
			"for its own count of frames; it cannot go with --frames"},
		{{"--soak", "10", "--output", "window"}, "--soak runs headless on the full-screen "
			"view for its own count of frames; it cannot go with --output window"},
		{{"--preview", "--soak", "10"}, "--soak runs headless on the full-screen view for "
			"its own count of frames; it cannot go with --preview"},
		{{"--soak", "10", "--record", "x.mp4"}, "--soak runs headless on the full-screen "
			"view for its own count of frames; it cannot go with --record"},
	};
	for (const Case& test : cases) {
		HostRun run = Run(test.arguments);
		EXPECT_EQ(run.status, 2) << test.message;
		EXPECT_EQ(run.err, "saverhost: " + test.message + "\ntry 'saverhost --help'\n");
	}
}
