// saverhost end to end: the built executable, run on the Dustglow add-on and
// on test add-ons, with its exit status, its output and the files it writes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <png.h>

#include <ModuleTypeNote.h>

#include "HostProcess.h"
#include "ScratchFolder.h"

namespace fs = std::filesystem;

namespace {

struct Image {
	png_uint_32 width = 0;
	png_uint_32 height = 0;
	png_uint_32 format = 0;
	std::vector<png_byte> rgb;
};


std::optional<Image>
ReadPng(const fs::path& path)
{
	png_image image{};
	image.version = PNG_IMAGE_VERSION;
	if (!png_image_begin_read_from_file(&image, path.c_str()))
		return std::nullopt;

	Image result;
	result.width = image.width;
	result.height = image.height;
	result.format = image.format;
	image.format = PNG_FORMAT_RGB;
	result.rgb.resize(PNG_IMAGE_SIZE(image));
	if (!png_image_finish_read(&image, nullptr, result.rgb.data(), 0, nullptr)) {
		png_image_free(&image);
		return std::nullopt;
	}
	return result;
}




class HostTest : public ::testing::Test {
protected:
	void SetUp() override { ASSERT_FALSE(fDirectory.empty()); }

	// Runs saverhost with the arguments and extra NAME=value environment,
	// without a display or a daemon's window, whatever the machine offers.
	HostRun Run(const std::vector<std::string>& arguments,
		const std::vector<std::string>& environment = {})
	{
		return RunHost(fDirectory, arguments, environment);
	}

	// What the directory holds besides the run's captured output.
	std::vector<std::string> Entries() const
	{
		std::vector<std::string> names;
		for (const fs::directory_entry& entry : fs::directory_iterator(fDirectory))
			names.push_back(entry.path().filename().string());
		std::sort(names.begin(), names.end());
		return names;
	}

	ScratchFolder fScratch{"saverhost"};
	const fs::path fDirectory = fScratch.Path();
};


const std::vector<std::string> kRefuse = {"RECORDING_SAVER_REFUSE=1"};

}	// namespace


// #pragma mark - runs


TEST_F(HostTest, SnapshotBeforeAnyFrameIsABlackRgbImageOfTheViewSize)
{
	fs::path snapshot = fDirectory / "out.png";
	HostRun run = Run({"--frames", "0", "--snapshot", snapshot.string()});
	ASSERT_EQ(run.status, 0) << run.err;
	EXPECT_EQ(run.out, "");
	EXPECT_NE(run.err.find("wrote " + snapshot.string() + " (640x480)"), std::string::npos)
		<< run.err;

	std::optional<Image> image = ReadPng(snapshot);
	ASSERT_TRUE(image);
	EXPECT_EQ(image->width, 640u);
	EXPECT_EQ(image->height, 480u);
	EXPECT_EQ(image->format, static_cast<png_uint_32>(PNG_FORMAT_RGB));
	EXPECT_EQ(std::count(image->rgb.begin(), image->rgb.end(), 0),
		static_cast<std::ptrdiff_t>(image->rgb.size()));
	EXPECT_EQ(Entries(), std::vector<std::string>{"out.png"});
}


TEST_F(HostTest, SnapshotAfterDrawingReplacesTheFileAtTheRequestedSize)
{
	fs::path snapshot = fDirectory / "out.png";
	std::ofstream(snapshot) << "an older file";

	HostRun run = Run({"--size", "320x200", "--frames", "3", "--snapshot",
		snapshot.string()});
	ASSERT_EQ(run.status, 0) << run.err;

	std::optional<Image> image = ReadPng(snapshot);
	ASSERT_TRUE(image);
	EXPECT_EQ(image->width, 320u);
	EXPECT_EQ(image->height, 200u);
	EXPECT_LT(std::count(image->rgb.begin(), image->rgb.end(), 0),
		static_cast<std::ptrdiff_t>(image->rgb.size())) << "no motes drawn";
	EXPECT_EQ(Entries(), std::vector<std::string>{"out.png"});
}


TEST_F(HostTest, DigestsRepeatForTheSameClockAndChangeWithIt)
{
	std::vector<std::string> arguments = {"--digest", "--frames", "5", "--clock"};
	auto runAt = [&](const char* clock) {
		std::vector<std::string> withClock = arguments;
		withClock.push_back(clock);
		return Run(withClock);
	};

	HostRun first = runAt("1000");
	HostRun second = runAt("1000");
	HostRun other = runAt("2000");
	ASSERT_EQ(first.status, 0) << first.err;
	EXPECT_EQ(first.err, "");

	std::regex lines("(frame [1-5] [0-9a-f]{16}\n){5}");
	EXPECT_TRUE(std::regex_match(first.out, lines)) << first.out;
	EXPECT_EQ(first.out.substr(0, 8), "frame 1 ");
	EXPECT_EQ(second.out, first.out);
	EXPECT_NE(other.out, first.out);
}


// --paced makes a headless run tick at the saver's period: the same frames,
// only spread out in time. It cannot go with a soak, which runs back to back.
TEST_F(HostTest, APacedHeadlessRunDrawsTheSameFrames)
{
	std::vector<std::string> arguments = {"--output", "headless", "--digest", "--frames", "3",
		"--clock", "1000"};
	HostRun unpaced = Run(arguments);
	arguments.push_back("--paced");
	HostRun paced = Run(arguments);
	ASSERT_EQ(unpaced.status, 0) << unpaced.err;
	ASSERT_EQ(paced.status, 0) << paced.err;
	EXPECT_EQ(paced.err, "");
	EXPECT_EQ(paced.out, unpaced.out);

	HostRun soak = Run({"--soak", "10", "--paced"});
	EXPECT_EQ(soak.status, 2);
	EXPECT_EQ(soak.err, "saverhost: --soak runs headless on the full-screen view for its own "
		"count of frames; it cannot go with --paced\ntry 'saverhost --help'\n");
}


// The picture of a pinned run, frame by frame: any change to the saver that
// alters a single pixel fails here. The add-on sees the same clock and a
// uniform generator in its process-start state, so these are the frames every
// run of this command shows.
TEST_F(HostTest, APinnedRunShowsTheSameFramesForever)
{
	HostRun run = Run({"--size", "640x480", "--frames", "1000", "--clock", "1000000",
		"--digest"});
	ASSERT_EQ(run.status, 0) << run.err;

	std::vector<std::string> lines;
	std::istringstream out(run.out);
	for (std::string line; std::getline(out, line);)
		lines.push_back(line);
	ASSERT_EQ(lines.size(), 1000u);
	EXPECT_EQ(lines[0], "frame 1 4d95db7915f7a9cd");
	EXPECT_EQ(lines[9], "frame 10 8e53cdc9d8cc88ed");
	EXPECT_EQ(lines[99], "frame 100 1fd01e3df62f78e6");
	EXPECT_EQ(lines[999], "frame 1000 9eb4c49183cf15e8");
}


TEST_F(HostTest, DigestsAndSnapshotsTakeRedGreenBlueInThatOrder)
{
	fs::path snapshot = fDirectory / "tiny.png";
	HostRun run = Run({RECORDING_SAVER_PATH, "--size", "2x1", "--digest", "--snapshot",
		snapshot.string()});
	ASSERT_EQ(run.status, 0) << run.err;
	// FNV-1a-64 of 10, 20, 30, 10, 20, 30: the saver's red, green, blue.
	EXPECT_EQ(run.out, "frame 1 610317f8d7aa881d\n");

	std::optional<Image> image = ReadPng(snapshot);
	ASSERT_TRUE(image);
	EXPECT_EQ(image->rgb, (std::vector<png_byte>{10, 20, 30, 10, 20, 30}));
}


TEST_F(HostTest, DrivesTheSaverInTheHostsCallingOrder)
{
	HostRun configOnly = Run({RECORDING_SAVER_PATH, "--config"});
	ASSERT_EQ(configOnly.status, 0) << configOnly.err;
	EXPECT_EQ(configOnly.SaverCalls(), (std::vector<std::string>{
		"instantiate image 1", "StartConfig", "StopConfig", "delete"}));
	EXPECT_EQ(configOnly.out,
		"BStringView frame (5, 5, 100, 20.5) \"say \\\"hi\\\"\"\n"
		"BView frame (0, 30, 50, 40)\n");

	HostRun full = Run({RECORDING_SAVER_PATH, "--config", "--frames", "3", "--size",
		"30x20"});
	ASSERT_EQ(full.status, 0) << full.err;
	EXPECT_EQ(full.SaverCalls(), (std::vector<std::string>{
		"instantiate image 1", "StartConfig", "StopConfig", "StartSaver 30x20 preview 0",
		"Draw 0", "Draw 1", "Draw 2", "StopSaver", "delete"}));

	HostRun preview = Run({RECORDING_SAVER_PATH, "--preview", "--frames", "1"});
	ASSERT_EQ(preview.status, 0) << preview.err;
	EXPECT_EQ(preview.SaverCalls(), (std::vector<std::string>{
		"instantiate image 1", "StartSaver 80x60 preview 1", "Draw 0", "StopSaver",
		"delete"}));
}


TEST_F(HostTest, ConfigListsTheDustglowSettingsLabel)
{
	HostRun run = Run({"--config"});
	ASSERT_EQ(run.status, 0) << run.err;
	EXPECT_EQ(run.out,
		"BStringView frame (10, 10, 200, 35) \"No configuration options...yet\"\n");
	EXPECT_EQ(run.err, "");
}


TEST_F(HostTest, DeclinedPreviewIsReportedAndIsNoError)
{
	HostRun run = Run({"--preview", "--digest", "--snapshot",
		(fDirectory / "preview.png").string()});
	EXPECT_EQ(run.status, 0);
	EXPECT_EQ(run.out, "");
	EXPECT_NE(run.err.find("the saver declined to run in the preview"), std::string::npos)
		<< run.err;
	EXPECT_TRUE(Entries().empty());
}


// #pragma mark - failures


TEST_F(HostTest, FullScreenRefusalFailsAndStillDeletesTheSaver)
{
	HostRun run = Run({RECORDING_SAVER_PATH, "--size", "320x200"}, kRefuse);
	EXPECT_EQ(run.status, 1);
	EXPECT_NE(run.err.find("saverhost: the saver refused to start on a 320x200 view"),
		std::string::npos) << run.err;
	EXPECT_EQ(run.SaverCalls(), (std::vector<std::string>{
		"instantiate image 1", "StartSaver 320x200 preview 0", "delete"}));
}


TEST_F(HostTest, FailedRunLeavesAnExistingSnapshotAlone)
{
	fs::path snapshot = fDirectory / "keep.png";
	std::ofstream(snapshot) << "the last good frame";

	HostRun run = Run({RECORDING_SAVER_PATH, "--snapshot", snapshot.string()}, kRefuse);
	EXPECT_EQ(run.status, 1);
	EXPECT_EQ(ReadWholeFile(snapshot), "the last good frame");
	EXPECT_EQ(Entries(), std::vector<std::string>{"keep.png"});
}


TEST_F(HostTest, SnapshotThatCannotBeWrittenIsRefusedBeforeTheSaverStarts)
{
	fs::path directory = fDirectory / "taken.png";
	fs::create_directory(directory);
	struct Case {
		fs::path path;
		std::string reason;
	};
	const Case cases[] = {
		{fDirectory / "missing" / "out.png",
			"no such directory \"" + (fDirectory / "missing").string() + "\""},
		{directory, "it is a directory"},
	};
	for (const Case& test : cases) {
		HostRun run = Run({RECORDING_SAVER_PATH, "--snapshot", test.path.string()});
		EXPECT_EQ(run.status, 1) << test.path;
		EXPECT_EQ(run.err, "saverhost: cannot write \"" + test.path.string() + "\": "
			+ test.reason + "\n");
		EXPECT_TRUE(run.SaverCalls().empty()) << run.err;
	}
}


TEST_F(HostTest, UnusableModulesFailNamingTheFileAndTheReason)
{
	fs::path text = fDirectory / "notes.txt";
	std::ofstream(text) << "not a program\n";

	struct Case {
		std::string path;
		std::string message;
	};
	const Case cases[] = {
		{(fDirectory / "Nope").string(), "cannot load \"" + (fDirectory / "Nope").string()
			+ "\": no such file"},
		{text.string(), "cannot load \"" + text.string() + "\": not a shared object"},
		{fDirectory.string(), "cannot load \"" + fDirectory.string()
			+ "\": it is a directory"},
		{NOSYMBOLS_PATH, "\"" NOSYMBOLS_PATH "\" is not a screen-saver module (it "
			"carries no module type); its build types it with attach_module_type()"},
		{TYPED_NOSYMBOLS_PATH, "cannot load \"" TYPED_NOSYMBOLS_PATH "\": it has no "
			"instantiate_screen_saver"},
	};
	for (const Case& test : cases) {
		HostRun run = Run({test.path});
		EXPECT_EQ(run.status, 1) << test.path;
		EXPECT_EQ(run.err.rfind("saverhost: " + test.message, 0), 0u) << run.err;
		EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
	}
}


TEST_F(HostTest, ModulesTypedOtherwiseOrDamagedAreNotLoaded)
{
	// The Dustglow add-on with its type note's descriptor changed in place:
	// another type, then a descriptor that is no string.
	std::string image = ReadWholeFile(DUSTGLOW_PATH);
	size_t type = image.find(SCREEN_SAVER_MODULE_TYPE);
	ASSERT_NE(type, std::string::npos);

	struct Case {
		std::string replacement;
		std::string reason;
	};
	const Case cases[] = {
		{"application/x-vnd.Be-elfexecutablf", "it is typed "
			"\"application/x-vnd.Be-elfexecutablf\", not " SCREEN_SAVER_MODULE_TYPE "); "},
		{"application/x-vnd.Be-elfexecutabl\n", "its module type is not a printable "
			"string); rebuild it\n"},
	};
	for (const Case& test : cases) {
		std::string changed = image;
		changed.replace(type, test.replacement.size(), test.replacement);
		fs::path module = fDirectory / "Changed";
		std::ofstream(module, std::ios::binary) << changed;

		HostRun run = Run({module.string()});
		EXPECT_EQ(run.status, 1);
		EXPECT_EQ(run.err.rfind("saverhost: \"" + module.string()
			+ "\" is not a screen-saver module (" + test.reason, 0), 0u) << run.err;
		fs::remove(module);
	}
}


TEST_F(HostTest, UnreadableModuleFails)
{
	if (geteuid() == 0)
		GTEST_SKIP() << "root reads every file";

	fs::path module = fDirectory / "Locked";
	fs::copy_file(DUSTGLOW_PATH, module);
	fs::permissions(module, fs::perms::none);
	HostRun run = Run({module.string()});
	EXPECT_EQ(run.status, 1);
	EXPECT_NE(run.err.find("not readable"), std::string::npos) << run.err;
}


TEST_F(HostTest, BadCommandLinesAreUsageErrors)
{
	struct Case {
		std::vector<std::string> arguments;
		std::string message;
	};
	const Case cases[] = {
		{{"--size", "0x0"}, "--size 0x0: width and height must be at least 1"},
		{{"--size", "-5x10"}, "--size -5x10: width and height must be at least 1"},
		{{"--size", "10x"}, "--size 10x: expected WIDTHxHEIGHT in pixels, as in 640x480"},
		{{"--size", "x"}, "--size x: expected WIDTHxHEIGHT in pixels, as in 640x480"},
		{{"--size", "100000x100000"},
			"--size 100000x100000: width and height must be at most 16384"},
		{{"--size"}, "--size needs a size, as in --size 640x480"},
		{{"--size", "--digest"}, "--size needs a size, as in --size 640x480"},
		{{"--frames", "-1"}, "--frames -1: expected a whole number from 0 to 2147483647"},
		{{"--frames", "2147483648"},
			"--frames 2147483648: expected a whole number from 0 to 2147483647"},
		{{"--frames"}, "--frames needs a count, as in --frames 25"},
		{{"--clock", "1.5"}, "--clock 1.5: expected whole seconds since 1970-01-01 00:00 "
			"UTC, as in 1000000000"},
		{{"--snapshot"}, "--snapshot needs a file name, as in --snapshot frame.png"},
		{{"--bogus"}, "unknown option --bogus"},
		{{"--digest=yes"}, "--digest takes no value"},
		{{"one", "two"}, "the module is given twice (\"one\" and \"two\"); give one"},
		{{"--fps", "30"}, "--fps takes no value; \"30\" after it looks like one (an add-on "
			"of that name goes after --module)"},
	};
	for (const Case& test : cases) {
		HostRun run = Run(test.arguments);
		EXPECT_EQ(run.status, 2) << test.message;
		EXPECT_EQ(run.out, "");
		EXPECT_EQ(run.err, "saverhost: " + test.message + "\ntry 'saverhost --help'\n");
	}

	HostRun help = Run({"--help"});
	EXPECT_EQ(help.status, 0);
	EXPECT_EQ(help.out.rfind("usage: saverhost", 0), 0u);
}


// Run under the screen saver's name (a link, as installed), saverhost goes
// by that name and shows the same frames.
TEST_F(HostTest, RunsAsTheScreenSaverUnderTheNameDustglow)
{
	fs::path link = fDirectory / "dustglow";
	fs::create_symlink(SAVERHOST_PATH, link);

	HostRun help = RunHost(fDirectory, {"-help"}, {}, link);
	EXPECT_EQ(help.status, 0);
	EXPECT_EQ(help.out.rfind("usage: dustglow [options]", 0), 0u) << help.out;

	HostRun bad = RunHost(fDirectory, {"-size", "64x48"}, {}, link);
	EXPECT_EQ(bad.status, 2);
	EXPECT_EQ(bad.err, "dustglow: unknown option -size\ntry 'dustglow --help'\n");

	const std::vector<std::string> pinned = {"--size", "64x48", "--frames", "20", "--clock",
		"1000000", "--digest"};
	HostRun asDustglow = RunHost(fDirectory, pinned, {}, link);
	HostRun asSaverhost = Run(pinned);
	EXPECT_EQ(asDustglow.status, 0) << asDustglow.err;
	EXPECT_EQ(asDustglow.out, asSaverhost.out);
	EXPECT_EQ(std::count(asDustglow.out.begin(), asDustglow.out.end(), '\n'), 20);
}
