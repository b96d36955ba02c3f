// The progress line of runs that write files.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "FakeClock.h"
#include "outputs/files/ProgressBar.h"

using namespace std::chrono_literals;

namespace {

std::string
Contents(std::FILE* file)
{
	std::fflush(file);
	std::rewind(file);
	std::string text;
	for (int c; (c = std::fgetc(file)) != EOF;)
		text += static_cast<char>(c);
	return text;
}

}	// namespace


TEST(ProgressLine, CountsFramesPercentAndTimeLeft)
{
	EXPECT_EQ(ProgressLine("rec", 0, 250, 0s),
		"rec [....................] 0/250   0%  ETA --:--");
	// 50 frames in 2 s: 200 more take 8 s.
	EXPECT_EQ(ProgressLine("rec", 50, 250, 2s),
		"rec [####................] 50/250  20%  ETA 0:08");
	EXPECT_EQ(ProgressLine("rec", 250, 250, 10s),
		"rec [####################] 250/250 100%  ETA 0:00");
	std::string hours = ProgressLine("rec", 1, 100000, 1s);
	EXPECT_EQ(hours.substr(hours.rfind("ETA")), "ETA 27:46:39");
	// Nothing to do is done.
	EXPECT_EQ(ProgressLine("rec", 0, 0, 0s), "rec [####################] 0/0 100%  ETA 0:00");
}


TEST(ProgressBar, RedrawsTenTimesASecondAndAlwaysAtTheEnd)
{
	FakeClock clock;
	std::FILE* stream = std::tmpfile();
	ASSERT_NE(stream, nullptr);
	{
		ProgressBar bar("rec", 3, clock, stream, true);
		bar.Update(1);
		clock.Pass(50ms);
		bar.Update(2);
		clock.Pass(10ms);
		bar.Update(3);
	}
	std::string text = Contents(stream);
	EXPECT_EQ(text.rfind("\rrec [", 0), 0u);
	EXPECT_NE(text.find("1/3"), std::string::npos);
	EXPECT_EQ(text.find("2/3"), std::string::npos);
	EXPECT_NE(text.find("3/3"), std::string::npos);
	EXPECT_EQ(text.back(), '\n');
	std::fclose(stream);

	// Not on a terminal: nothing at all.
	std::FILE* quiet = std::tmpfile();
	{
		ProgressBar bar("rec", 3, clock, quiet, false);
		bar.Update(3);
	}
	EXPECT_EQ(Contents(quiet), "");
	std::fclose(quiet);
}
