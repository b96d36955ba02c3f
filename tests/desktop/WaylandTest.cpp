// The Wayland output under a Wayland compositor (sway, headless, drawing in
// software, two monitors), read back with grim: its own window and the full
// screen, with no X server in the compositor and an Xvfb beside it that must
// not be taken instead; keys typed by a virtual keyboard (wtype); every
// monitor covered, and the session's idleness. One compositor for the group.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "DesktopSupport.h"
#include "VirtualDisplay.h"
#include "outputs/wayland/SeatInput.h"
#include "outputs/wayland/WaylandOutput.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class WaylandTest : public ::testing::Test {
protected:
	static void SetUpTestSuite()
	{
		sMissing = MissingTools({"sway", "grim", "wtype", "Xvfb"});
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
			config << "xwayland disable\n"
				"output HEADLESS-1 resolution 800x600 position 0 0\n"
				"output HEADLESS-2 resolution 800x600 position 800 0\n";
		}
		sCompositor = std::make_unique<GroupProcess>(
			std::vector<std::string>{"sway", "--config", (*sRuntime / "sway.config").string()},
			std::vector<std::string>{"PATH=/usr/bin:/bin", "HOME=" + sRuntime->Path().string(),
				"XDG_RUNTIME_DIR=" + sRuntime->Path().string(), "WLR_BACKENDS=headless",
				"WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_HEADLESS_OUTPUTS=2"},
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

	std::optional<Picture> Screenshot(const std::string& name, const std::string& monitor)
	{
		fs::path shot = *sRuntime / (name + ".png");
		if (RunToEnd({"grim", "-o", monitor, shot.string()}, Session({}),
				*sRuntime / "grim.log", sUser, 10s) != 0)
			return std::nullopt;
		return ReadPng(shot);
	}

	// A screenshot of a monitor, once the motes show on it.
	std::optional<Picture> AwaitMotes(const std::string& name,
		const std::string& monitor = "HEADLESS-1")
	{
		fs::path shot = *sRuntime / (name + ".png");
		std::optional<Picture> picture;
		WaitUntil([&] {
			picture = Screenshot(name, monitor);
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

	// A key typed by a virtual keyboard of its own, as on-screen keyboards
	// and remote desktops type.
	void Type(const std::string& key)
	{
		EXPECT_EQ(RunToEnd({"wtype", key}, Session({}), *sRuntime / "wtype.log", sUser, 10s), 0)
			<< ReadFile(*sRuntime / "wtype.log");
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
// compositor, framed by it, and nothing is drawn on X. It goes by the name
// it was run by, for the compositor's rules.
TEST_F(WaylandTest, ItsOwnWindowGoesToTheCompositorNotToX)
{
	GroupProcess saver({Tree().dustglow.string(), "--size", "640x480"},
		Session({"DISPLAY=" + sX->Name()}), *sRuntime / "window.log", sUser);
	std::optional<Picture> shot = AwaitMotes("window");
	ASSERT_TRUE(shot) << saver.Log();
	EXPECT_GT(shot->GlowPixels(), 100) << saver.Log();
	// The compositor's title bar, above the picture.
	EXPECT_GE(shot->FilledRows(0, 40), 10);
	std::optional<WindowPixels> onX = sX->Read(sX->Root());
	ASSERT_TRUE(onX);
	EXPECT_TRUE(onX->AllBlack());
	fs::path tree = *sRuntime / "tree.json";
	std::string socket;
	for (const fs::directory_entry& entry : fs::directory_iterator(sRuntime->Path())) {
		if (entry.path().filename().string().rfind("sway-ipc.", 0) == 0)
			socket = entry.path().string();
	}
	RunToEnd({"swaymsg", "-t", "get_tree"}, Session({"SWAYSOCK=" + socket}), tree, sUser, 10s);
	EXPECT_NE(ReadFile(tree).find("\"app_id\": \"dustglow\""), std::string::npos);

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


// Any key ends the saver's own window, and no keymap is ever looked up that
// could bring it down: 20 tries, each a virtual keyboard of its own, which
// the compositor hands the window with a keymap of its own.
TEST_F(WaylandTest, AKeyEndsItsOwnWindowEveryTime)
{
	for (int attempt = 0; attempt < 20; attempt++) {
		GroupProcess saver({Tree().saverhost.string()}, Session({}), *sRuntime / "keys.log",
			sUser);
		ASSERT_TRUE(AwaitMotes("keys")) << saver.Log();
		std::this_thread::sleep_for(SeatInput::kSettleTime);
		Type("a");
		EXPECT_EQ(saver.Wait(10s), 0) << "attempt " << attempt << ": " << saver.Log();
	}
}


// --screensaver: a saver on each monitor, each with motes of its own, and
// any key typed ends it, every time.
TEST_F(WaylandTest, TheScreensaverCoversEveryMonitorUntilAKey)
{
	for (int attempt = 0; attempt < 20; attempt++) {
		GroupProcess saver({Tree().dustglow.string(), "--screensaver"}, Session({}),
			*sRuntime / "screensaver.log", sUser);
		std::optional<Picture> first = AwaitMotes("screensaver-1", "HEADLESS-1");
		ASSERT_TRUE(first) << saver.Log();
		if (attempt == 0) {
			std::optional<Picture> second = AwaitMotes("screensaver-2", "HEADLESS-2");
			ASSERT_TRUE(second) << saver.Log();
			EXPECT_NE(first->bits, second->bits);
		}
		std::this_thread::sleep_for(SeatInput::kSettleTime);
		Type("a");
		EXPECT_EQ(saver.Wait(10s), 0) << "attempt " << attempt << ": " << saver.Log();
	}
}


// --idle: nothing at first; the saver on both monitors once the session is
// idle; nothing again after a key, until the next stretch of idleness; and
// waiting on until a signal ends it.
TEST_F(WaylandTest, IdleShowsTheSaverWhileTheSessionIsIdle)
{
	GroupProcess saver({Tree().dustglow.string(), "--idle", "3"}, Session({}),
		*sRuntime / "idle.log", sUser);
	std::this_thread::sleep_for(1s);
	std::optional<Picture> before = Screenshot("idle-before", "HEADLESS-1");
	ASSERT_TRUE(before);
	EXPECT_EQ(before->GlowPixels(), 0);
	for (int stretch = 0; stretch < 2; stretch++) {
		ASSERT_TRUE(AwaitMotes("idle-1", "HEADLESS-1")) << saver.Log();
		ASSERT_TRUE(AwaitMotes("idle-2", "HEADLESS-2")) << saver.Log();
		std::this_thread::sleep_for(SeatInput::kSettleTime);
		Type("a");
		EXPECT_TRUE(WaitUntil([&] {
			std::optional<Picture> after = Screenshot("idle-after", "HEADLESS-1");
			return after && after->GlowPixels() == 0;
		}, 2s)) << saver.Log();
	}
	EXPECT_TRUE(saver.Running());
	saver.SignalGroup(SIGTERM);
	saver.Wait(10s);
	EXPECT_EQ(saver.KilledBy(), SIGTERM) << saver.Log();
}


namespace {

// The compositor's socket for objects made in this process, for a test.
class InSession {
public:
	InSession(const fs::path& runtime, const std::string& socket)
	{
		setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
		setenv("WAYLAND_DISPLAY", socket.c_str(), 1);
	}
	~InSession()
	{
		unsetenv("WAYLAND_DISPLAY");
		unsetenv("XDG_RUNTIME_DIR");
	}
};

}	// namespace


// A square moved across the window frame by frame, each frame lent pixels
// and sending only the rectangles it changed: where the compositor keeps the
// buffer it shows (as this one does), the frames go through buffers that
// must catch up with what changed while others were shown, and none may
// leave a square behind.
TEST_F(WaylandTest, FramesSentInPiecesLeaveNothingBehind)
{
	InSession session(sRuntime->Path(), sSocket);
	WaylandOutput output;
	Options options;
	options.fullscreen = true;
	Result<Size> opened = output.Open(options);
	ASSERT_TRUE(opened) << opened.Message();
	Size size = opened.Value();
	const uint8_t* drawnIn = nullptr;
	auto square = [](std::optional<PixelTarget>& lent, int left, uint8_t value) {
		for (int y = 100; y < 120; y++)
			std::memset(lent->bits + y * lent->bytesPerRow + left * 4, value, 20 * 4);
	};
	constexpr int kFrames = 30;
	for (int frame = 0; frame < kFrames; frame++) {
		std::optional<PixelTarget> lent = output.LendPixels(size);
		ASSERT_TRUE(lent);
		Damage damage;
		if (lent->untouched && lent->bits == drawnIn) {
			square(lent, 10 * (frame - 1), 0);
			damage = Damage({PixelRect{10 * (frame - 1), 100, 30, 20}});
		} else {
			for (int y = 0; y < size.height; y++)
				std::memset(lent->bits + y * lent->bytesPerRow, 0, size.width * 4);
		}
		square(lent, 10 * frame, 0xff);
		drawnIn = lent->bits;
		PixelView pixels{lent->bits, lent->bytesPerRow, size.width, size.height};
		ASSERT_TRUE(output.Present(pixels, damage));
		// The window fills the monitor once it is shown.
		OutputEvents events = output.WaitUntil(std::chrono::steady_clock::now() + 40ms);
		if (events.resized) {
			size = *events.resized;
			drawnIn = nullptr;
		}
	}
	std::optional<Picture> shot = Screenshot("pieces", "HEADLESS-1");
	ASSERT_TRUE(shot);
	int lit = 0;
	for (int x = 0; x < shot->width; x++)
		lit += shot->At(x, 110)[0] != 0 ? 1 : 0;
	EXPECT_EQ(lit, 20);
	EXPECT_NE(shot->At(10 * (kFrames - 1), 110)[0], 0);
}
