// --screensaver and --idle on an X server of the tests' own with two RandR
// monitors side by side, as `xrandr --setmonitor` makes them, typed at with
// xdotool as a user would type.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "HostProcess.h"
#include "ScratchFolder.h"
#include "VirtualDisplay.h"

using namespace std::chrono_literals;

namespace {

constexpr int kMonitorWidth = 640;
constexpr int kMonitorHeight = 480;


bool
Eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s)
{
	auto until = std::chrono::steady_clock::now() + timeout;
	while (!condition()) {
		if (std::chrono::steady_clock::now() > until)
			return false;
		std::this_thread::sleep_for(20ms);
	}
	return true;
}


// One monitor's part of the screen.
WindowPixels
Part(const WindowPixels& screen, int monitor)
{
	WindowPixels part{kMonitorWidth, kMonitorHeight, {}};
	for (int y = 0; y < kMonitorHeight; y++) {
		const uint8_t* row = screen.At(monitor * kMonitorWidth, y);
		part.bits.insert(part.bits.end(), row, row + kMonitorWidth * 4);
	}
	return part;
}


class ScreensTest : public ::testing::Test {
protected:
	static void SetUpTestSuite()
	{
		sDisplay = VirtualDisplay::Start(sWhy, sMissing, 2 * kMonitorWidth, kMonitorHeight);
		// The first monitor takes the screen's one output, which would
		// otherwise be a monitor of its own over both.
		if (sDisplay && (Run("xrandr --setmonitor left 640/169x480/127+0+0 screen") != 0
				|| Run("xrandr --setmonitor right 640/169x480/127+640+0 none") != 0))
			sWhy = "xrandr --setmonitor failed";
	}

	static void TearDownTestSuite() { sDisplay.reset(); }

	void SetUp() override
	{
		if ((!sDisplay && sMissing) || std::system("command -v xrandr xdotool >/dev/null") != 0)
			GTEST_SKIP() << (sMissing ? sWhy : "xrandr or xdotool is not installed");
		ASSERT_NE(sDisplay, nullptr) << sWhy;
		ASSERT_EQ(sWhy, "");
		ASSERT_FALSE(fScratch.Path().empty());
	}

	// A command with DISPLAY naming the tests' server; its exit status.
	static int Run(const std::string& command)
	{
		std::string line = "DISPLAY=" + sDisplay->Name() + " " + command + " >/dev/null";
		return std::system(line.c_str());
	}

	// Both monitors show the saver's motes, different on each.
	bool MotesOnBoth()
	{
		std::optional<WindowPixels> shown = sDisplay->Read(sDisplay->Root());
		if (!shown)
			return false;
		WindowPixels left = Part(*shown, 0);
		WindowPixels right = Part(*shown, 1);
		return !left.AllBlack() && !right.AllBlack() && left.bits != right.bits;
	}

	HostProcess Start(const std::vector<std::string>& arguments)
	{
		return HostProcess(fScratch.Path(), arguments, {"DISPLAY=" + sDisplay->Name()});
	}

	static inline std::unique_ptr<VirtualDisplay> sDisplay;
	static inline std::string sWhy;
	static inline bool sMissing = false;
	ScratchFolder fScratch{"screens"};
};

}	// namespace


TEST_F(ScreensTest, ScreensaverCoversEveryMonitorUntilAKey)
{
	HostProcess host = Start({"--screensaver"});
	EXPECT_TRUE(Eventually([&] { return MotesOnBoth(); }));
	ASSERT_EQ(Run("xdotool key a"), 0);
	HostRun run = host.Wait();
	EXPECT_EQ(run.status, 0) << run.err;
}


// Nothing at first, the motes once the session is idle, nothing after a
// key, and the wait again, until SIGTERM.
TEST_F(ScreensTest, IdleFollowsTheInput)
{
	HostProcess host = Start({"--idle", "2"});
	std::this_thread::sleep_for(1s);
	EXPECT_FALSE(sDisplay->FindWindow("Dustglow"));
	EXPECT_TRUE(Eventually([&] { return MotesOnBoth(); }));

	ASSERT_EQ(Run("xdotool key a"), 0);
	EXPECT_TRUE(Eventually([&] { return !sDisplay->FindWindow("Dustglow"); }, 1500ms));
	EXPECT_TRUE(host.Running());
	EXPECT_TRUE(Eventually([&] { return MotesOnBoth(); }));

	HostRun run = host.Stop(SIGTERM);
	EXPECT_EQ(run.status, 128 + SIGTERM) << run.err;
}


// A locker that maps its window over the screen while the saver runs gets
// the keyboard: the saver lets go of it and ends.
TEST_F(ScreensTest, ScreensaverStepsAsideForALocker)
{
	HostProcess host = Start({"--screensaver"});
	ASSERT_TRUE(sDisplay->AwaitWindow("Dustglow"));
	Display* x = sDisplay->Connection();
	XSetWindowAttributes attributes{};
	attributes.override_redirect = True;
	Window locker = XCreateWindow(x, sDisplay->Root(), 0, 0, 2 * kMonitorWidth,
		kMonitorHeight, 0, CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect,
		&attributes);
	XMapRaised(x, locker);
	EXPECT_TRUE(Eventually([&] {
		return XGrabKeyboard(x, locker, False, GrabModeAsync, GrabModeAsync, CurrentTime)
			== GrabSuccess;
	}, 2s));
	XUngrabKeyboard(x, CurrentTime);
	XDestroyWindow(x, locker);
	XSync(x, False);
	EXPECT_EQ(host.Wait().status, 0);
}
