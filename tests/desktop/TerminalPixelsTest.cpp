// The installed saverhost --output terminal in real terminals that show
// pixels, which it finds out by asking them: xterm as a VT340 with 256 colour
// registers (sixel) and kitty (its graphics protocol, drawing with Mesa in
// software) on Xvfb, foot (sixel) under headless sway. Each runs the saver
// three times from a shell script: the screenshots show round motes, not the
// blocks of character cells; a resize redraws at the new size; q, Esc and
// SIGTERM end the runs and leave the terminal as it was.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DesktopSupport.h"
#include "VirtualDisplay.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// A pixel of a mote's glow: bright red and green, and blue well below them,
// which neither the terminals' white nor their grey text is.
bool
Glows(const uint8_t* pixel)
{
	return pixel[2] >= 96 && pixel[1] >= 96 && pixel[0] * 4 <= pixel[2] * 3;
}


int
GlowCount(const Picture& picture)
{
	int count = 0;
	for (int y = 0; y < picture.height; y++) {
		for (int x = 0; x < picture.width; x++)
			count += Glows(picture.At(x, y));
	}
	return count;
}


// Among the motes' pixels, the share that differ from their right-hand
// neighbour: about a sixth where the picture is blocks of cells, most of them
// where it is the saver's soft discs.
double
Roundness(const Picture& picture)
{
	int glow = 0;
	int differing = 0;
	for (int y = 0; y < picture.height; y++) {
		for (int x = 0; x + 1 < picture.width; x++) {
			const uint8_t* pixel = picture.At(x, y);
			if (!Glows(pixel))
				continue;
			glow++;
			differing += std::memcmp(pixel, picture.At(x + 1, y), 3) != 0;
		}
	}
	return glow == 0 ? 0 : static_cast<double>(differing) / glow;
}


// The rightmost column with a mote's pixel in it, or -1.
int
RightmostGlow(const Picture& picture)
{
	for (int x = picture.width - 1; x >= 0; x--) {
		for (int y = 0; y < picture.height; y++) {
			if (Glows(picture.At(x, y)))
				return x;
		}
	}
	return -1;
}


// How a terminal is started (none, with the reason in unavailable, where it
// cannot start), looked at, typed at and resized.
struct TerminalDriver {
	std::string unavailable;
	std::function<std::unique_ptr<GroupProcess>(const fs::path& script)> start;
	std::function<std::optional<Picture>()> shot;
	std::function<void(const std::string& key)> type;
	std::function<void(int width, int height)> resize;
};


class TerminalPixelsTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		std::string why;
		fUser = UnprivilegedUser(why);
		DESKTOP_REQUIRE(why);
		Installed(why);
		ASSERT_TRUE(why.empty()) << why;
		fFolder = std::make_unique<ScratchFolder>("terminal-pixels");
		GiveTo(*fUser, fFolder->Path(), 0700);
	}

	// The saver three times, each after the test says go, then a line as a
	// shell would give.
	fs::path Script()
	{
		std::string error;
		fs::path script = Folder() / "run.sh";
		std::ofstream(script) << "cd '" << Folder().string() << "'\n"
			<< "for run in 1 2 3; do\n"
			<< "  until [ -e go$run ]; do sleep 0.1; done\n"
			<< "  echo before run $run\n"
			<< "  sh -c 'echo $$ > pid; exec \"$0\" --output terminal --size 320x240' '"
			<< Installed(error).saverhost.string() << "' 2>>saver.log\n"
			<< "  code=$?; stty -a > stty$run; echo $code >> status\n"
			<< "done\n"
			<< "echo back at the shell\nexec sleep 600\n";
		return script;
	}

	const fs::path& Folder() const { return fFolder->Path(); }
	std::string Read(const std::string& name) { return ReadFile(Folder() / name); }
	void Go(int run) { std::ofstream(Folder() / ("go" + std::to_string(run))); }

	// Motes, drawn in pixels; the picture's right edge.
	int ExpectMotes(TerminalDriver& terminal, const GroupProcess& shell)
	{
		std::optional<Picture> shot;
		bool drawn = WaitUntil([&] {
			shot = terminal.shot();
			return shot && GlowCount(*shot) >= 200;
		}, 30s);
		EXPECT_TRUE(drawn) << shell.Log() << Read("saver.log");
		if (!drawn)
			return -1;
		double round = Roundness(*shot);
		std::printf("motes' pixels unlike their right-hand neighbour: %.0f %%\n", 100 * round);
		EXPECT_GT(round, 0.4);
		return RightmostGlow(*shot);
	}

	// The run ended as it should, and nothing of it is left on the terminal.
	void ExpectEnded(TerminalDriver& terminal, int run, const std::string& statuses)
	{
		ASSERT_TRUE(WaitUntil([&] { return Read("status") == statuses; }, 20s))
			<< Read("status") << Read("saver.log");
		std::string modes = Read("stty" + std::to_string(run));
		EXPECT_NE(modes.find(" icanon "), std::string::npos) << modes;
		EXPECT_NE(modes.find(" echo "), std::string::npos) << modes;
		std::optional<Picture> shot;
		EXPECT_TRUE(WaitUntil([&] {
			shot = terminal.shot();
			// A few of a title's tinted edges at most.
			return shot && GlowCount(*shot) < 50;
		}, 10s)) << "the picture stayed after run " << run;
	}

	void RunThrough(TerminalDriver& terminal, int smaller, int larger)
	{
		std::unique_ptr<GroupProcess> shell = terminal.start(Script());
		if (!shell)
			GTEST_SKIP() << terminal.unavailable;
		Go(1);
		// Grown, the picture reaches past where the smaller one ended.
		int edge = ExpectMotes(terminal, *shell);
		ASSERT_GT(edge, 0);
		EXPECT_LT(edge, smaller);
		terminal.resize(larger, larger * 3 / 4);
		EXPECT_TRUE(WaitUntil([&] {
			std::optional<Picture> shot = terminal.shot();
			return shot && RightmostGlow(*shot) > smaller;
		}, 20s)) << "not redrawn at the new size";

		terminal.type("q");
		ExpectEnded(terminal, 1, "0\n");
		Go(2);
		ExpectMotes(terminal, *shell);
		terminal.type("Escape");
		ExpectEnded(terminal, 2, "0\n0\n");
		Go(3);
		ExpectMotes(terminal, *shell);
		kill(std::stoi(Read("pid")), SIGTERM);
		ExpectEnded(terminal, 3, "0\n0\n143\n");
	}

	std::optional<TestUser> fUser;
	std::unique_ptr<ScratchFolder> fFolder;
};


// A terminal on Xvfb, read back from the screen, typed at through XTEST.
class XTerminal : public TerminalDriver {
public:
	XTerminal(const fs::path& folder, const TestUser& user, const std::string& name,
		std::function<std::vector<std::string>(const fs::path&)> command)
	{
		bool missing = false;
		fDisplay = VirtualDisplay::Start(unavailable, missing);
		start = [=](const fs::path& script) -> std::unique_ptr<GroupProcess> {
			if (!fDisplay)
				return nullptr;
			auto process = std::make_unique<GroupProcess>(command(script),
				SessionEnvironment(user, folder, {"DISPLAY=" + fDisplay->Name(),
					"LIBGL_ALWAYS_SOFTWARE=1"}),
				folder / (name + ".log"), user);
			fWindow = fDisplay->AwaitWindow("dustglow-" + name);
			if (!fWindow) {
				unavailable = name + " cannot start here: " + process->Log();
				return nullptr;
			}
			return process;
		};
		shot = [this]() -> std::optional<Picture> {
			std::optional<WindowPixels> pixels = fDisplay->Read(fDisplay->Root());
			if (!pixels)
				return std::nullopt;
			return Picture{pixels->width, pixels->height, pixels->bits};
		};
		type = [this](const std::string& key) {
			std::string log;
			Capture({"env", "DISPLAY=" + fDisplay->Name(), "xdotool", "mousemove", "20", "20",
				"key", key}, log);
		};
		resize = [this](int width, int height) {
			XResizeWindow(fDisplay->Connection(), *fWindow, static_cast<unsigned>(width),
				static_cast<unsigned>(height));
			XSync(fDisplay->Connection(), False);
		};
	}

	std::unique_ptr<VirtualDisplay> fDisplay;
	std::optional<Window> fWindow;
};


// A terminal under a headless sway of its own, read back with grim, typed at
// with wtype; the output's resolution is its size.
class WaylandTerminal : public TerminalDriver {
public:
	WaylandTerminal(const fs::path& folder, const TestUser& user, int width, int height)
	{
		std::ofstream(folder / "sway.config") << "xwayland disable\noutput HEADLESS-1 resolution "
			<< width << "x" << height << "\n";
		auto session = [=](std::vector<std::string> more) {
			more.push_back("XDG_RUNTIME_DIR=" + folder.string());
			return SessionEnvironment(user, folder, more);
		};
		fSway = std::make_unique<GroupProcess>(std::vector<std::string>{"sway", "--config",
			(folder / "sway.config").string()}, session({"WLR_BACKENDS=headless",
			"WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1"}), folder / "sway.log", user);
		std::string socket;
		WaitUntil([&] {
			for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
				std::string name = entry.path().filename().string();
				if (name.rfind("wayland-", 0) == 0 && entry.is_socket())
					socket = name;
				if (name.rfind("sway-ipc.", 0) == 0)
					fIpc = entry.path().string();
			}
			return !socket.empty() && !fIpc.empty();
		}, 20s);
		auto run = [=](const std::vector<std::string>& command) {
			return RunToEnd(command, session({"WAYLAND_DISPLAY=" + socket}),
				folder / "tools.log", user, 10s);
		};
		start = [=](const fs::path& script) -> std::unique_ptr<GroupProcess> {
			if (socket.empty()) {
				unavailable = "sway did not start: " + fSway->Log();
				return nullptr;
			}
			return std::make_unique<GroupProcess>(std::vector<std::string>{"foot", "sh",
				script.string()}, session({"WAYLAND_DISPLAY=" + socket}), folder / "foot.log",
				user);
		};
		shot = [=]() -> std::optional<Picture> {
			if (run({"grim", (folder / "shot.png").string()}) != 0)
				return std::nullopt;
			return ReadPng(folder / "shot.png");
		};
		type = [=](const std::string& key) {
			// A new virtual keyboard's first key is lost while its keymap
			// travels: typed a moment after.
			run(key.size() == 1 ? std::vector<std::string>{"wtype", "-s", "300", key}
				: std::vector<std::string>{"wtype", "-s", "300", "-k", key});
		};
		resize = [=](int width, int height) {
			run({"swaymsg", "-s", fIpc, "output HEADLESS-1 resolution " + std::to_string(width)
				+ "x" + std::to_string(height)});
		};
	}

	std::unique_ptr<GroupProcess> fSway;
	std::string fIpc;
};

}	// namespace


TEST_F(TerminalPixelsTest, FootUnderSwayShowsSixels)
{
	DESKTOP_REQUIRE(MissingTools({"sway", "foot", "grim", "wtype", "swaymsg"}));
	WaylandTerminal foot(Folder(), *fUser, 640, 480);
	RunThrough(foot, 640, 1024);
}


TEST_F(TerminalPixelsTest, XtermAsAVt340ShowsSixels)
{
	DESKTOP_REQUIRE(MissingTools({"Xvfb", "xterm", "xdotool"}));
	XTerminal xterm(Folder(), *fUser, "xterm", [](const fs::path& script) {
		return std::vector<std::string>{"xterm", "-ti", "vt340", "-xrm",
			"XTerm*numColorRegisters: 256", "-fa", "DejaVu Sans Mono", "-fs", "10",
			"-geometry", "64x20+0+0", "-T", "dustglow-xterm", "-e", "sh", script.string()};
	});
	RunThrough(xterm, 520, 800);
}


TEST_F(TerminalPixelsTest, KittyShowsItsGraphics)
{
	DESKTOP_REQUIRE(MissingTools({"Xvfb", "kitty", "xdotool"}));
	XTerminal kitty(Folder(), *fUser, "kitty", [](const fs::path& script) {
		return std::vector<std::string>{"kitty", "--config", "NONE", "-o",
			"initial_window_width=500", "-o", "initial_window_height=360", "-o",
			"remember_window_size=no", "--title", "dustglow-kitty", "sh", script.string()};
	});
	RunThrough(kitty, 520, 800);
}
