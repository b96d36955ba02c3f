// The window output on an X server of the tests' own: saverhost end to end,
// read back from the screen, and the output itself driven in this process.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xutil.h>

#include <Bitmap.h>

#include "DisplayEnvironment.h"
#include "HostProcess.h"
#include "PngPixels.h"
#include "ScratchFolder.h"
#include "VirtualDisplay.h"
#include "outputs/window/OwnWindow.h"
#include "outputs/window/WindowOutput.h"
#include "base/Digest.h"
#include "run/CommandLine.h"
#include "run/Surface.h"

namespace fs = std::filesystem;
using std::chrono::steady_clock;

namespace {

uint64_t
Digest(const WindowPixels& pixels)
{
	return FrameDigest(PixelView{pixels.bits.data(), static_cast<size_t>(pixels.width) * 4,
		pixels.width, pixels.height});
}


std::string
Hex(unsigned long id)
{
	std::ostringstream text;
	text << "0x" << std::hex << id;
	return text.str();
}


class WindowTest : public ::testing::Test {
protected:
	static void SetUpTestSuite() { sDisplay = VirtualDisplay::Start(sWhy, sMissing); }

	static void TearDownTestSuite() { sDisplay.reset(); }

	void SetUp() override
	{
		if (!sDisplay && sMissing)
			GTEST_SKIP() << sWhy;
		ASSERT_NE(sDisplay, nullptr) << sWhy;
		ASSERT_FALSE(fDirectory.empty());
	}

	void TearDown() override
	{
		if (sDisplay)
			sDisplay->DestroyWindows();
	}

	VirtualDisplay& X() { return *sDisplay; }

	// saverhost (or the program given) in the background on the tests' display.
	HostProcess OnDisplay(const std::vector<std::string>& arguments,
		const fs::path& program = {})
	{
		return HostProcess(fDirectory, arguments, {"DISPLAY=" + X().Name()}, program);
	}

	static inline std::unique_ptr<VirtualDisplay> sDisplay;
	static inline std::string sWhy;
	static inline bool sMissing = false;
	ScratchFolder fScratch{"window"};
	const fs::path fDirectory = fScratch.Path();
};


// Every frame the window showed, read off the screen while the run went on,
// is one the saver drew, pixel for pixel (by its digest); the snapshot, read
// from the window's own pixels after the run, is the last.
TEST_F(WindowTest, ItsOwnWindowShowsEachFrameAsDrawn)
{
	fs::path snapshot = fDirectory / "out.png";
	HostProcess host = OnDisplay({"--output", "window", "--size", "320x240", "--frames", "30",
		"--clock", "7", "--digest", "--snapshot", snapshot.string()});

	std::vector<WindowPixels> seen;
	while (host.Running()) {
		// Black until the first frame arrives.
		if (std::optional<Window> window = X().FindWindow("Dustglow")) {
			std::optional<WindowPixels> pixels = X().Read(*window);
			if (pixels && !pixels->AllBlack())
				seen.push_back(std::move(*pixels));
		}
	}
	HostRun run = host.Wait();
	ASSERT_EQ(run.status, 0) << run.err;

	std::set<std::string> drawn;
	std::string last;
	std::istringstream lines(run.out);
	for (std::string frame, number; lines >> frame >> number >> last;)
		drawn.insert(last);
	ASSERT_EQ(drawn.size(), 30u);

	ASSERT_FALSE(seen.empty());
	for (const WindowPixels& pixels : seen) {
		ASSERT_EQ(pixels.width, 320);
		ASSERT_EQ(pixels.height, 240);
		EXPECT_EQ(drawn.count(FormatDigest(Digest(pixels))), 1u);
	}
	std::optional<WindowPixels> written = ReadPngPixels(snapshot);
	ASSERT_TRUE(written);
	EXPECT_EQ(FormatDigest(Digest(*written)), last);
}


// Given a window, the run takes its size and leaves its last frame there.
TEST_F(WindowTest, DrawsInAWindowItIsGiven)
{
	Window window = X().CreateWindow(200, 150);
	fs::path snapshot = fDirectory / "out.png";
	HostRun run = OnDisplay({"--output", "window", "--window-id", Hex(window), "--frames",
		"10", "--clock", "7", "--snapshot", snapshot.string()}).Wait();
	ASSERT_EQ(run.status, 0) << run.err;
	EXPECT_NE(run.err.find("(200x150)"), std::string::npos) << run.err;

	std::optional<WindowPixels> shown = X().Read(window);
	std::optional<WindowPixels> written = ReadPngPixels(snapshot);
	ASSERT_TRUE(shown && written);
	EXPECT_FALSE(shown->AllBlack());
	EXPECT_TRUE(shown->bits == written->bits);
}


TEST_F(WindowTest, DrawsOnTheRootWindowWhenGivenNone)
{
	fs::path snapshot = fDirectory / "out.png";
	HostRun run = OnDisplay({"--output", "window", "--root", "--frames", "2", "--clock", "7",
		"--snapshot", snapshot.string()}).Wait();
	ASSERT_EQ(run.status, 0) << run.err;

	std::optional<WindowPixels> shown = X().Read(X().Root());
	std::optional<WindowPixels> written = ReadPngPixels(snapshot);
	ASSERT_TRUE(shown && written);
	EXPECT_EQ(written->width, 1024);
	EXPECT_TRUE(shown->bits == written->bits);
}


// A signal stops a window run as any other: the saver stopped, the process
// then killed by the signal, the window gone with it; a borrowed window stays.
TEST_F(WindowTest, SignalsEndTheRunCleanly)
{
	Window borrowed = X().CreateWindow(160, 120);
	for (int signal : {SIGINT, SIGTERM}) {
		for (bool own : {true, false}) {
			SCOPED_TRACE(std::string(strsignal(signal)) + (own ? " own" : " borrowed"));
			std::vector<std::string> arguments = {"--output", "window", "--size", "160x120"};
			if (!own)
				arguments.insert(arguments.end(), {"--window-id", Hex(borrowed)});
			XClearWindow(X().Connection(), borrowed);
			HostProcess host = OnDisplay(arguments);
			// Running once a frame shows.
			std::optional<Window> window = own ? X().AwaitWindow("Dustglow") : borrowed;
			ASSERT_TRUE(window);
			for (std::optional<WindowPixels> shown; host.Running()
					&& (!shown || shown->AllBlack());)
				shown = X().Read(*window);
			ASSERT_TRUE(host.Running()) << host.Err();

			HostRun run = host.Stop(signal);
			EXPECT_EQ(run.killedBy, signal) << run.err;
			EXPECT_NE(run.err.find("interrupted after"), std::string::npos) << run.err;
			EXPECT_FALSE(X().FindWindow("Dustglow"));
			EXPECT_TRUE(X().Read(borrowed));
		}
	}
}


// Run under the screen saver's name (a link, as installed), its window is of
// that class, for the window manager's rules.
TEST_F(WindowTest, ItsOwnWindowIsOfTheClassOfTheNameItRunsBy)
{
	fs::path link = fDirectory / "dustglow";
	fs::create_symlink(SAVERHOST_PATH, link);
	HostProcess host = OnDisplay({"--output", "window", "--size", "160x120"}, link);
	std::optional<Window> window = X().AwaitWindow("Dustglow");
	ASSERT_TRUE(window) << host.Err();
	XClassHint hint = {};
	ASSERT_NE(XGetClassHint(X().Connection(), *window, &hint), 0);
	EXPECT_STREQ(hint.res_name, "dustglow");
	EXPECT_STREQ(hint.res_class, "dustglow");
	XFree(hint.res_name);
	XFree(hint.res_class);
}


// Its own window destroyed by another program (as xdotool windowclose does
// it) is the window closed: the run ends as after a click, without a word.
TEST_F(WindowTest, ItsOwnWindowDestroyedFromOutsideEndsTheRunAsClosed)
{
	HostProcess host = OnDisplay({"--output", "window", "--size", "160x120"});
	std::optional<Window> window = X().AwaitWindow("Dustglow");
	ASSERT_TRUE(window) << host.Err();
	for (std::optional<WindowPixels> shown; host.Running() && (!shown || shown->AllBlack());)
		shown = X().Read(*window);
	ASSERT_TRUE(host.Running()) << host.Err();

	XDestroyWindow(X().Connection(), *window);
	XSync(X().Connection(), False);
	HostRun run = host.Wait();
	EXPECT_EQ(run.status, 0) << run.err;
	EXPECT_EQ(run.err, "");
}


// The notice of a declined preview holds off signals while it is up; one
// that comes then still ends the run as a signal, not as a success.
TEST_F(WindowTest, ASignalDuringThePreviewNoticeIsNoSuccess)
{
	HostProcess host = OnDisplay({"--output", "window", "--preview"});
	ASSERT_TRUE(X().AwaitWindow("Dustglow")) << host.Err();
	HostRun run = host.Stop(SIGTERM);
	EXPECT_EQ(run.killedBy, SIGTERM) << run.err;
	EXPECT_NE(run.err.find("interrupted after 0 frames"), std::string::npos) << run.err;
}


TEST_F(WindowTest, WithoutADisplaySaysWhatToDo)
{
	HostRun run = RunHost(fDirectory, {"--output", "window", "--frames", "1"});
	EXPECT_EQ(run.status, 1);
	EXPECT_NE(run.err.find(
		"no display for --output window (is WAYLAND_DISPLAY or DISPLAY set?); try --output "
		"terminal"),
		std::string::npos) << run.err;
}


// The settings panel as the platform shows it: grey, the label's text in
// its frame and nowhere else; below it, how to close it. Nothing is listed
// on standard output.
TEST_F(WindowTest, ShowsTheSettingsPanelUntilClosed)
{
	HostProcess host = OnDisplay({"--output", "window", "--config"});
	std::optional<Window> window = X().AwaitWindow("Dustglow settings");
	ASSERT_TRUE(window) << host.Err();
	// The first reads may come before the panel is drawn.
	auto grey = [](const uint8_t* pixel) {
		return pixel[0] == 216 && pixel[1] == 216 && pixel[2] == 216;
	};
	std::optional<WindowPixels> panel;
	for (int tries = 0; tries < 500; tries++) {
		panel = X().Read(*window);
		if (panel && grey(panel->At(0, 0)) && grey(panel->At(panel->width - 1, 299)))
			break;
		std::this_thread::sleep_for(std::chrono::milliseconds(10));
	}
	ASSERT_TRUE(panel);
	ASSERT_EQ(panel->width, 400);
	ASSERT_GT(panel->height, 300);

	int dark = 0;
	int strayed = 0;
	for (int y = 0; y < 300; y++) {
		for (int x = 0; x < panel->width; x++) {
			const uint8_t* pixel = panel->At(x, y);
			bool inLabel = x >= 10 && x <= 200 && y >= 10 && y <= 35;
			if (inLabel && pixel[0] < 96 && pixel[1] < 96 && pixel[2] < 96)
				dark++;
			if (!inLabel && !grey(pixel))
				strayed++;
		}
	}
	EXPECT_GT(dark, 100);
	EXPECT_EQ(strayed, 0);
	int hint = 0;
	for (int y = 300; y < panel->height; y++) {
		for (int x = 0; x < panel->width; x++)
			hint += panel->At(x, y)[1] > 128;
	}
	EXPECT_GT(hint, 100) << "no hint below the panel";

	X().Close(*window);
	HostRun run = host.Wait();
	EXPECT_EQ(run.status, 0) << run.err;
	EXPECT_EQ(run.out, "");
}


// The output driven in this process, on the tests' display.
class WindowOutputTest : public WindowTest {
protected:
	void SetUp() override
	{
		WindowTest::SetUp();
		if (IsSkipped() || HasFatalFailure())
			return;
		fEnvironment.emplace(X().Name());
		VirtualDisplay::TakeForeignErrors();
	}

	void TearDown() override
	{
		fEnvironment.reset();
		WindowTest::TearDown();
	}

	std::optional<DisplayEnvironment> fEnvironment;
};


// A frame whose size is not the window's (the preview) is shown whole:
// scaled by the largest whole factor that fits, centred on black.
TEST_F(WindowOutputTest, ShowsAFrameOfAnotherSizeWholeAndCentred)
{
	WindowOutput output;
	Options options;
	options.size = Size{420, 250};
	ASSERT_TRUE(output.Open(options));
	EXPECT_FALSE(output.LendPixels(Size{80, 60}));

	std::vector<uint8_t> bits(80 * 60 * 4);
	for (int y = 0; y < 60; y++) {
		for (int x = 0; x < 80; x++) {
			uint8_t* pixel = &bits[(y * 80 + x) * 4];
			pixel[0] = static_cast<uint8_t>(x * 3);
			pixel[1] = static_cast<uint8_t>(y * 4);
			pixel[2] = 200;
		}
	}
	ASSERT_TRUE(output.Present(PixelView{bits.data(), 80 * 4, 80, 60}, Damage()));

	std::optional<Window> window = X().AwaitWindow("Dustglow");
	ASSERT_TRUE(window);
	std::optional<WindowPixels> shown = X().Read(*window);
	ASSERT_TRUE(shown);
	int wrong = 0;
	for (int y = 0; y < 250; y++) {
		for (int x = 0; x < 420; x++) {
			const uint8_t* pixel = shown->At(x, y);
			static const uint8_t kBlack[3] = {0, 0, 0};
			bool inside = x >= 50 && x < 370 && y >= 5 && y < 245;
			const uint8_t* expected = inside ? &bits[(((y - 5) / 4) * 80 + (x - 50) / 4) * 4]
				: kBlack;
			if (std::memcmp(pixel, expected, 3) != 0)
				wrong++;
		}
	}
	EXPECT_EQ(wrong, 0);
}


TEST_F(WindowOutputTest, FollowsTheSizeOfAWindowItIsGiven)
{
	Window window = X().CreateWindow(200, 150);
	WindowOutput output;
	Options options;
	options.windowId = window;
	Result<Size> opened = output.Open(options);
	ASSERT_TRUE(opened) << opened.Message();
	EXPECT_EQ(opened.Value().width, 200);
	EXPECT_EQ(opened.Value().height, 150);

	XResizeWindow(X().Connection(), window, 240, 180);
	XSync(X().Connection(), False);
	OutputEvents events = output.WaitUntil(steady_clock::now() + std::chrono::seconds(10));
	ASSERT_TRUE(events.resized);
	EXPECT_EQ(events.resized->width, 240);
	EXPECT_EQ(events.resized->height, 180);
	EXPECT_FALSE(events.quit);
	EXPECT_TRUE(output.LendPixels(Size{240, 180}));
}


// The root window takes the screen's size when RANDR changes it: the saver
// goes on at the new size.
TEST_F(WindowOutputTest, FollowsTheRootWindowThatRandrResizes)
{
	WindowOutput output;
	Options options;
	options.root = true;
	Result<Size> opened = output.Open(options);
	ASSERT_TRUE(opened) << opened.Message();
	EXPECT_EQ(opened.Value().width, 1024);
	EXPECT_EQ(opened.Value().height, 768);
	std::optional<PixelTarget> lent = output.LendPixels(Size{1024, 768});
	ASSERT_TRUE(lent);
	ASSERT_TRUE(output.Present(PixelView{lent->bits, lent->bytesPerRow, 1024, 768}, Damage()));

	ASSERT_TRUE(X().ResizeScreen(800, 600));
	OutputEvents events = output.WaitUntil(steady_clock::now() + std::chrono::seconds(10));
	bool restored = X().ResizeScreen(1024, 768);
	ASSERT_TRUE(events.resized);
	EXPECT_EQ(events.resized->width, 800);
	EXPECT_EQ(events.resized->height, 600);
	EXPECT_FALSE(events.quit);
	EXPECT_EQ(VirtualDisplay::TakeForeignErrors(), 0);
	EXPECT_TRUE(restored);
}


// A window that is not there, or goes while the saver draws in it, is an
// error or the end of the run, never the end of the process (Xlib's way).
TEST_F(WindowOutputTest, AWindowThatIsGoneNeverEndsTheProcess)
{
	{
		WindowOutput output;
		Options options;
		options.windowId = 0x3fffffUL;
		Result<Size> opened = output.Open(options);
		ASSERT_FALSE(opened);
		EXPECT_NE(opened.Message().find("no window 0x3fffff on display"), std::string::npos)
			<< opened.Message();
	}

	Window window = X().CreateWindow(120, 90);
	WindowOutput output;
	Options options;
	options.windowId = window;
	ASSERT_TRUE(output.Open(options));
	std::optional<PixelTarget> lent = output.LendPixels(Size{120, 90});
	ASSERT_TRUE(lent);
	ASSERT_TRUE(output.Present(PixelView{lent->bits, lent->bytesPerRow, 120, 90}, Damage()));

	// Moved and resized just before its end: SDL then looks up the window's
	// place after it has gone.
	XMoveResizeWindow(X().Connection(), window, 30, 20, 140, 100);
	XDestroyWindow(X().Connection(), window);
	XSync(X().Connection(), False);
	std::vector<uint8_t> own(120 * 90 * 4);
	EXPECT_TRUE(output.Present(PixelView{own.data(), 120 * 4, 120, 90}, Damage()));
	EXPECT_TRUE(output.WaitUntil(steady_clock::now() + std::chrono::seconds(10)).quit);
	EXPECT_FALSE(output.LendPixels(Size{120, 90}));
	EXPECT_EQ(VirtualDisplay::TakeForeignErrors(), 0);
}


// Pointer motion while the window settles, and jitter after, is not the user.
TEST_F(WindowOutputTest, OnlyARealPointerMoveEndsItsOwnWindow)
{
	WindowOutput output;
	Options options;
	options.size = Size{320, 240};
	ASSERT_TRUE(output.Open(options));
	std::optional<PixelTarget> lent = output.LendPixels(Size{320, 240});
	ASSERT_TRUE(lent);
	ASSERT_TRUE(output.Present(PixelView{lent->bits, lent->bytesPerRow, 320, 240}, Damage()));
	std::optional<Window> window = X().AwaitWindow("Dustglow");
	ASSERT_TRUE(window);
	int left;
	int top;
	Window child;
	XTranslateCoordinates(X().Connection(), *window, X().Root(), 0, 0, &left, &top, &child);

	X().MovePointer(left + 100, top + 100);
	steady_clock::time_point settled = steady_clock::now() + OwnWindow::kSettleTime
		+ std::chrono::milliseconds(200);
	EXPECT_FALSE(output.WaitUntil(settled).quit);
	X().MovePointer(left + 101, top + 101);
	EXPECT_FALSE(output.WaitUntil(steady_clock::now() + std::chrono::milliseconds(300)).quit);
	X().MovePointer(left + 102, top + 100);
	EXPECT_FALSE(output.WaitUntil(steady_clock::now() + std::chrono::milliseconds(300)).quit);
	X().MovePointer(left + 120, top + 100);
	EXPECT_TRUE(output.WaitUntil(steady_clock::now() + std::chrono::seconds(10)).quit);
}


// Whether the window shows the frame's pixels (the fourth bytes aside).
bool
Shows(VirtualDisplay& display, Window window, const PixelTarget& frame, Size size)
{
	std::optional<WindowPixels> shown = display.Read(window);
	if (!shown || shown->width != size.width || shown->height != size.height)
		return false;
	for (int y = 0; y < size.height; y++) {
		for (int x = 0; x < size.width; x++) {
			if (std::memcmp(shown->At(x, y), frame.bits + y * frame.bytesPerRow + x * 4, 3) != 0)
				return false;
		}
	}
	return true;
}


void
Paint(const PixelTarget& frame, Size size, int seed)
{
	for (int y = 0; y < size.height; y++) {
		for (int x = 0; x < size.width; x++) {
			uint8_t* pixel = frame.bits + y * frame.bytesPerRow + x * 4;
			pixel[0] = static_cast<uint8_t>(x * seed);
			pixel[1] = static_cast<uint8_t>(y * 3 + seed);
			pixel[2] = static_cast<uint8_t>(x + y + 40 * seed);
		}
	}
}


// The display gets only the damaged rectangles of a frame, and the whole
// picture again after the window was exposed or resized, whatever the damage.
TEST_F(WindowOutputTest, SendsTheDamageAndTheWholePictureAfterExposesAndResizes)
{
	Window window = X().CreateWindow(160, 120);
	WindowOutput output;
	Options options;
	options.windowId = window;
	ASSERT_TRUE(output.Open(options));
	// A frame as the host draws it: into the pixels lent for it, then shown.
	auto lend = [&](Size size) {
		std::optional<PixelTarget> lent = output.LendPixels(size);
		EXPECT_TRUE(lent);
		return lent.value_or(PixelTarget{});
	};
	auto show = [&](const PixelTarget& frame, Size size, const Damage& damage) {
		EXPECT_TRUE(output.Present(PixelView{frame.bits, frame.bytesPerRow, size.width,
			size.height}, damage));
	};
	auto settle = [&] {
		XSync(X().Connection(), False);
		output.WaitUntil(steady_clock::now() + std::chrono::milliseconds(300));
	};

	Size size{160, 120};
	PixelTarget frame = lend(size);
	ASSERT_TRUE(frame.bits);
	Paint(frame, size, 1);
	show(frame, size, Damage());
	ASSERT_TRUE(Shows(X(), window, frame, size));

	// Two pixels change, one of them in the damage: only that one is sent.
	uint8_t* inside = lend(size).bits + 10 * frame.bytesPerRow + 10 * 4;
	uint8_t* outside = frame.bits + 100 * frame.bytesPerRow + 100 * 4;
	inside[1] ^= 0xff;
	outside[1] ^= 0xff;
	show(frame, size, Damage({PixelRect{8, 8, 4, 4}}));
	EXPECT_EQ(X().Read(window)->At(10, 10)[1], inside[1]);
	EXPECT_NE(X().Read(window)->At(100, 100)[1], outside[1]);

	// Exposed (here cleared to black): everything goes again.
	XClearArea(X().Connection(), window, 0, 0, 0, 0, True);
	settle();
	lend(size).bits[0] ^= 0xff;
	show(frame, size, Damage({PixelRect{0, 0, 1, 1}}));
	EXPECT_TRUE(Shows(X(), window, frame, size)) << "after an expose";

	// Resized: the new picture is sent whole, though the damage says nothing.
	XResizeWindow(X().Connection(), window, 200, 150);
	settle();
	size = Size{200, 150};
	frame = lend(size);
	ASSERT_TRUE(frame.bits);
	Paint(frame, size, 3);
	show(frame, size, Damage(std::vector<PixelRect>{}));
	EXPECT_TRUE(Shows(X(), window, frame, size)) << "after a resize";
	// Nothing changed, nothing is sent.
	Paint(lend(size), size, 4);
	show(frame, size, Damage(std::vector<PixelRect>{}));
	EXPECT_FALSE(Shows(X(), window, frame, size));
}


// The saver's present trusts what it knows of the pixels lent to it, and
// reads tiles it left of one colour no more. Pixels the output wrote itself
// since the last loan (a frame copied in from the host's memory, a
// framebuffer made anew after a resize and back, perhaps at the same address)
// are lent as touched, and the next frame shows the saver's picture whole.
TEST_F(WindowOutputTest, SaysWhenItWroteThePixelsItLendsItself)
{
	Window window = X().CreateWindow(160, 120);
	WindowOutput output;
	Options options;
	options.windowId = window;
	ASSERT_TRUE(output.Open(options));
	Size size{160, 120};
	Result<std::unique_ptr<Surface>> made = Surface::Create(size, "saver");
	ASSERT_TRUE(made);
	Surface& surface = *made.Value();
	BBitmap canvas(BRect(0, 0, size.width - 1, size.height - 1), B_RGB32);
	for (int y = 0; y < size.height; y++) {
		static const uint8_t kBrown[4] = {0x20, 0x40, 0x60, 0xff};
		for (int x = 0; x < size.width; x++)
			std::memcpy(static_cast<uint8_t*>(canvas.Bits()) + y * canvas.BytesPerRow() + x * 4,
				kBrown, 4);
	}
	PixelTarget canvasPixels{static_cast<uint8_t*>(canvas.Bits()),
		static_cast<size_t>(canvas.BytesPerRow())};

	// A frame as saverhost draws it: the present into the lent pixels, then
	// what it changed shown.
	auto frame = [&] {
		std::optional<PixelTarget> lent = output.LendPixels(size);
		surface.DrawInto(lent);
		surface.View()->DrawBitmap(&canvas);
		EXPECT_TRUE(output.Present(surface.Pixels(), surface.TakeDamage()));
		return lent.value_or(PixelTarget{});
	};
	auto settle = [&] {
		XSync(X().Connection(), False);
		output.WaitUntil(steady_clock::now() + std::chrono::milliseconds(300));
	};

	PixelTarget lent = frame();
	ASSERT_TRUE(lent.bits);
	EXPECT_FALSE(lent.untouched) << "a new framebuffer";
	EXPECT_TRUE(frame().untouched);
	EXPECT_TRUE(Shows(X(), window, canvasPixels, size));

	std::vector<uint8_t> other(size.width * size.height * 4, 0x99);
	ASSERT_TRUE(output.Present(PixelView{other.data(), static_cast<size_t>(size.width) * 4,
		size.width, size.height}, Damage()));
	EXPECT_FALSE(frame().untouched) << "after a frame copied in";
	EXPECT_TRUE(Shows(X(), window, canvasPixels, size)) << "after a frame copied in";

	XResizeWindow(X().Connection(), window, 200, 150);
	XResizeWindow(X().Connection(), window, 160, 120);
	settle();
	EXPECT_FALSE(frame().untouched) << "after a resize and back";
	EXPECT_TRUE(Shows(X(), window, canvasPixels, size)) << "after a resize and back";
	EXPECT_TRUE(frame().untouched);
}


// The events say when nobody can see the window any more (unmapped, as a
// window manager does to minimize it) and when somebody can again, at once.
TEST_F(WindowOutputTest, SaysWhenTheWindowGoesOutOfSightAndComesBack)
{
	Window borrowed = X().CreateWindow(120, 90);
	for (bool own : {true, false}) {
		SCOPED_TRACE(own ? "own window" : "borrowed window");
		WindowOutput output;
		Options options;
		options.size = Size{120, 90};
		if (!own)
			options.windowId = borrowed;
		ASSERT_TRUE(output.Open(options));
		std::optional<PixelTarget> lent = output.LendPixels(Size{120, 90});
		ASSERT_TRUE(lent);
		ASSERT_TRUE(output.Present(PixelView{lent->bits, lent->bytesPerRow, 120, 90}, Damage()));
		std::optional<Window> window = own ? X().AwaitWindow("Dustglow") : borrowed;
		ASSERT_TRUE(window);
		EXPECT_FALSE(output.Poll().outOfSight);

		for (bool mapped : {false, true}) {
			if (mapped)
				XMapWindow(X().Connection(), *window);
			else
				XUnmapWindow(X().Connection(), *window);
			XSync(X().Connection(), False);
			steady_clock::time_point start = steady_clock::now();
			OutputEvents events = output.WaitUntil(start + std::chrono::seconds(10));
			EXPECT_EQ(events.outOfSight, !mapped);
			EXPECT_LT(steady_clock::now() - start, std::chrono::seconds(5));
			EXPECT_FALSE(events.quit);
		}
	}
}

}	// namespace
