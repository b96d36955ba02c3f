// The window output under a Wayland compositor (sway, headless, drawing in
// software), read back with grim: its own window and the full screen, on
// Wayland natively, with no X server in the compositor and an Xvfb beside
// it that SDL must not take instead. One compositor for the group.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "DesktopSupport.h"
#include "VirtualDisplay.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class WaylandTest : public ::testing::Test {
protected:
	static void SetUpTestSuite()
	{
		sMissing = MissingTools({"sway", "grim", "Xvfb"});
		if (!sMissing.empty())
			return;
		sUser = UnprivilegedUser(sMissing);
		if (!sUser)
			return;
		Installed(sFailure);
		if (!sFailure.empty())
			return;

		// The compositor's runtime folder is the user's own, as a session's is.
		sRuntime = std::make_unique<ScratchFolder>("wayland-runtime");
		GiveTo(*sUser, sRuntime->Path(), 0700);
		{
			std::ofstream config(*sRuntime / "sway.config");
			config << "xwayland disable\noutput HEADLESS-1 resolution 800x600\n";
		}
		sCompositor = std::make_unique<GroupProcess>(
			std::vector<std::string>{"sway", "--config", (*sRuntime / "sway.config").string()},
			std::vector<std::string>{"PATH=/usr/bin:/bin", "HOME=" + sRuntime->Path().string(),
				"XDG_RUNTIME_DIR=" + sRuntime->Path().string(), "WLR_BACKENDS=headless",
				"WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1"},
			*sRuntime / "sway.log", sUser);
		bool listening = WaitUntil([] {
			for (const fs::directory_entry& entry : fs::directory_iterator(sRuntime->Path())) {
				std::string name = entry.path().filename().string();
				if (name.rfind("wayland-", 0) == 0 && entry.is_socket())
					sSocket = name;
			}
			return !sSocket.empty();
		}, 20s);
		if (!listening) {
			sFailure = "sway did not start: " + sCompositor->Log();
			return;
		}
		bool missing = false;
		sX = VirtualDisplay::Start(sFailure, missing);
	}

	static void TearDownTestSuite()
	{
		sX.reset();
		sCompositor.reset();
		sRuntime.reset();
	}

	void SetUp() override
	{
		DESKTOP_REQUIRE(sMissing);
		ASSERT_TRUE(sFailure.empty()) << sFailure;
	}

	std::vector<std::string> Session(const std::vector<std::string>& more)
	{
		std::vector<std::string> session = {"XDG_RUNTIME_DIR=" + sRuntime->Path().string(),
			"WAYLAND_DISPLAY=" + sSocket};
		session.insert(session.end(), more.begin(), more.end());
		return SessionEnvironment(*sUser, sRuntime->Path(), session);
	}

	// A screenshot of the compositor's output, once the motes show on it.
	std::optional<Picture> AwaitMotes(const std::string& name)
	{
		fs::path shot = *sRuntime / (name + ".png");
		std::optional<Picture> picture;
		WaitUntil([&] {
			if (RunToEnd({"grim", shot.string()}, Session({}), *sRuntime / "grim.log", sUser, 10s)
					!= 0)
				return false;
			picture = ReadPng(shot);
			return picture && picture->GlowPixels() >= 100;
		}, 20s);
		// Kept for a person to look at, where asked.
		if (const char* keep = std::getenv("DESKTOP_TEST_PICTURES")) {
			std::error_code error;
			fs::copy_file(shot, fs::path(keep) / ("wayland-" + name + ".png"),
				fs::copy_options::overwrite_existing, error);
		}
		return picture;
	}

	const InstalledTree& Tree()
	{
		std::string error;
		return Installed(error);
	}

	static inline std::string sMissing;
	static inline std::string sFailure;
	static inline std::optional<TestUser> sUser;
	static inline std::unique_ptr<ScratchFolder> sRuntime;
	static inline std::unique_ptr<GroupProcess> sCompositor;
	static inline std::string sSocket;
	static inline std::unique_ptr<VirtualDisplay> sX;
};

}	// namespace


// Its own window, with an X display named as well: the window is on the
// compositor, framed by it, and nothing is drawn on X.
TEST_F(WaylandTest, ItsOwnWindowGoesToTheCompositorNotToX)
{
	GroupProcess saver({Tree().saverhost.string(), "--size", "640x480"},
		Session({"DISPLAY=" + sX->Name()}), *sRuntime / "window.log", sUser);
	std::optional<Picture> shot = AwaitMotes("window");
	ASSERT_TRUE(shot) << saver.Log();
	EXPECT_GT(shot->GlowPixels(), 100) << saver.Log();
	// The compositor's title bar, above the picture.
	EXPECT_GE(shot->FilledRows(0, 40), 10);
	std::optional<WindowPixels> onX = sX->Read(sX->Root());
	ASSERT_TRUE(onX);
	EXPECT_TRUE(onX->AllBlack());

	saver.SignalGroup(SIGTERM);
	saver.Wait(10s);
	EXPECT_EQ(saver.KilledBy(), SIGTERM) << saver.Log();
}


// Full screen without any X: the picture fills the output, edge to edge.
TEST_F(WaylandTest, FillsTheScreenWithoutX)
{
	GroupProcess saver({Tree().saverhost.string(), "--fullscreen"}, Session({}),
		*sRuntime / "fullscreen.log", sUser);
	std::optional<Picture> shot = AwaitMotes("fullscreen");
	ASSERT_TRUE(shot) << saver.Log();
	EXPECT_EQ(shot->width, 800);
	EXPECT_EQ(shot->height, 600);
	EXPECT_GT(shot->GlowPixels(), 100) << saver.Log();
	EXPECT_EQ(shot->FilledRows(0, 600), 0);

	saver.SignalGroup(SIGTERM);
	saver.Wait(10s);
	EXPECT_EQ(saver.KilledBy(), SIGTERM) << saver.Log();
}
