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
#include <string>
#include <vector>

#include "DesktopSupport.h"
#include "VirtualDisplay.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// The motes' pixels on a screenshot (bright red and green, blue well below
// them, which neither a terminal's white nor its grey text is): how many, the
// share that differ from their right-hand neighbour (about a tenth where the
// picture is blocks of cells, most where it is soft discs), the rightmost.
struct Motes {
	int count = 0;
	double roundness = 0;
	int right = -1;

	explicit Motes(const Picture& picture)
	{
		int differing = 0;
		for (int y = 0; y < picture.height; y++) {
			for (int x = 0; x + 1 < picture.width; x++) {
				const uint8_t* pixel = picture.At(x, y);
				if (pixel[2] < 96 || pixel[1] < 96 || pixel[0] * 4 > pixel[2] * 3)
					continue;
				count++;
				differing += std::memcmp(pixel, picture.At(x + 1, y), 3) != 0;
				right = std::max(right, x);
			}
		}
		roundness = count == 0 ? 0 : static_cast<double>(differing) / count;
	}
};


// A terminal running the test's script (none, with the reason in unavailable,
// where it cannot start), looked at, typed at and resized.
struct TerminalDriver {
	std::string unavailable;
	std::unique_ptr<GroupProcess> shell;
	// A screenshot; an empty picture where none could be taken.
	std::function<Picture()> shot;
	std::function<void(const std::string& key)> type;
	std::function<void(int width, int height)> resize;

	// The motes once done says so, or as the last look found them.
	Motes Look(const std::function<bool(const Motes&)>& done)
	{
		Motes motes{Picture{}};
		WaitUntil([&] { return done(motes = Motes(shot())); }, 30s);
		return motes;
	}
};


class TerminalPixelsTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		std::string why;
		fUser = UnprivilegedUser(why);
		DESKTOP_REQUIRE(why);
		fs::path saverhost = Installed(why).saverhost;
		ASSERT_TRUE(why.empty()) << why;
		fFolder = std::make_unique<ScratchFolder>("terminal-pixels");
		GiveTo(*fUser, fFolder->Path(), 0700);
		// The saver three times, each once the test says go, as a shell runs it.
		std::ofstream(Folder() / "run.sh") << "cd '" << Folder().string() << "'\n"
			<< "for run in 1 2 3; do\n  until [ -e go$run ]; do sleep 0.1; done\n"
			<< "  sh -c 'echo $$ > pid; exec \"$0\" --output terminal --size 320x240' '"
			<< saverhost.string() << "' 2>>saver.log\n"
			<< "  code=$?; stty -a > stty$run; echo $code >> status\ndone\nexec sleep 600\n";
	}

	const fs::path& Folder() const { return fFolder->Path(); }
	std::string Read(const std::string& name) { return ReadFile(Folder() / name); }

	// Run run shows round motes; resized (the first run), it reaches past
	// where it ended; ended, it leaves its status, the terminal's modes as
	// they were and no picture.
	void Run(TerminalDriver& terminal, int run, const std::function<void()>& end,
		const std::string& statuses, int smaller = 0, int larger = 0)
	{
		std::ofstream(Folder() / ("go" + std::to_string(run)));
		Motes motes = terminal.Look([](const Motes& seen) { return seen.count >= 200; });
		ASSERT_GE(motes.count, 200) << Read("saver.log");
		std::printf("motes' pixels unlike their right-hand neighbour: %.0f %%\n",
			100 * motes.roundness);
		EXPECT_GT(motes.roundness, 0.4);
		if (larger > 0) {
			EXPECT_LT(motes.right, smaller);
			terminal.resize(larger, larger * 3 / 4);
			EXPECT_GT(terminal.Look([&](const Motes& seen) { return seen.right > smaller; }).right,
				smaller) << "not redrawn at the new size";
		}
		end();
		ASSERT_TRUE(WaitUntil([&] { return Read("status") == statuses; }, 20s))
			<< Read("status") << Read("saver.log");
		std::string modes = Read("stty" + std::to_string(run));
		EXPECT_TRUE(modes.find(" icanon ") != modes.npos && modes.find(" echo ") != modes.npos);
		// A few of a title's tinted edges at most.
		EXPECT_LT(terminal.Look([](const Motes& seen) { return seen.count < 50; }).count, 50)
			<< "the picture stayed after run " << run;
	}

	void RunThrough(TerminalDriver& terminal, int smaller, int larger)
	{
		if (!terminal.shell)
			GTEST_SKIP() << terminal.unavailable;
		Run(terminal, 1, [&] { terminal.type("q"); }, "0\n", smaller, larger);
		Run(terminal, 2, [&] { terminal.type("Escape"); }, "0\n0\n");
		Run(terminal, 3, [&] { kill(std::stoi(Read("pid")), SIGTERM); }, "0\n0\n143\n");
	}

	std::optional<TestUser> fUser;
	std::unique_ptr<ScratchFolder> fFolder;
};


// A terminal on Xvfb, read back from the screen, typed at through XTEST.
struct XTerminal : TerminalDriver {
	XTerminal(const fs::path& folder, const TestUser& user, const std::string& name,
		std::vector<std::string> command)
	{
		bool missing = false;
		fDisplay = VirtualDisplay::Start(unavailable, missing);
		if (!fDisplay)
			return;
		command.insert(command.end(), {"sh", (folder / "run.sh").string()});
		shell = std::make_unique<GroupProcess>(command, SessionEnvironment(user, folder,
			{"DISPLAY=" + fDisplay->Name(), "LIBGL_ALWAYS_SOFTWARE=1"}), folder / "terminal.log",
			user);
		if (!fDisplay->AwaitWindow("dustglow-" + name)) {
			unavailable = name + " cannot start here: " + shell->Log();
			shell.reset();
		}
		shot = [this] {
			std::optional<WindowPixels> pixels = fDisplay->Read(fDisplay->Root());
			return pixels ? Picture{pixels->width, pixels->height, pixels->bits} : Picture{};
		};
		auto xdotool = [this, name](std::vector<std::string> command) {
			std::string log;
			command.insert(command.begin(), {"env", "DISPLAY=" + fDisplay->Name(), "xdotool"});
			Capture(command, log);
		};
		type = [=](const std::string& key) { xdotool({"mousemove", "20", "20", "key", key}); };
		resize = [=](int width, int height) { xdotool({"search", "--name", "dustglow-" + name,
			"windowsize", std::to_string(width), std::to_string(height)}); };
	}

	std::unique_ptr<VirtualDisplay> fDisplay;
};


// foot under a headless sway of its own, read back with grim, typed at with
// wtype; the output's resolution is its size.
struct FootUnderSway : TerminalDriver {
	FootUnderSway(const fs::path& folder, const TestUser& user, int width, int height)
	{
		std::ofstream(folder / "sway.config") << "xwayland disable\noutput HEADLESS-1 "
			"resolution " << width << "x" << height << "\n";
		auto session = [=](std::vector<std::string> more) {
			more.push_back("XDG_RUNTIME_DIR=" + folder.string());
			return SessionEnvironment(user, folder, more);
		};
		fSway = std::make_unique<GroupProcess>(std::vector<std::string>{"sway", "--config",
			(folder / "sway.config").string()}, session({"WLR_BACKENDS=headless",
			"WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1"}), folder / "sway.log", user);
		// Its runtime folder is the test's own, so the first socket is its.
		fIpc = (folder / ("sway-ipc." + std::to_string(user.uid) + "."
			+ std::to_string(fSway->Id()) + ".sock")).string();
		WaitUntil([&] { return fs::exists(folder / "wayland-1") && fs::exists(fIpc); }, 20s);
		auto run = [=](const std::vector<std::string>& command) {
			return RunToEnd(command, session({"WAYLAND_DISPLAY=wayland-1"}),
				folder / "tools.log", user, 10s);
		};
		if (!fs::exists(fIpc)) {
			unavailable = "sway did not start: " + fSway->Log();
			return;
		}
		shell = std::make_unique<GroupProcess>(std::vector<std::string>{"foot", "sh",
			(folder / "run.sh").string()}, session({"WAYLAND_DISPLAY=wayland-1"}),
			folder / "terminal.log", user);
		shot = [=] {
			bool taken = run({"grim", (folder / "shot.png").string()}) == 0;
			return taken ? ReadPng(folder / "shot.png").value_or(Picture{}) : Picture{};
		};
		// A new virtual keyboard's first key is lost while its keymap travels:
		// typed a moment after.
		type = [=](const std::string& key) {
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


TEST_F(TerminalPixelsTest, XtermAsAVt340ShowsSixels)
{
	DESKTOP_REQUIRE(MissingTools({"Xvfb", "xterm", "xdotool"}));
	XTerminal xterm(Folder(), *fUser, "xterm", {"xterm", "-ti", "vt340", "-xrm",
		"XTerm*numColorRegisters: 256", "-fa", "DejaVu Sans Mono", "-fs", "10", "-geometry",
		"64x20+0+0", "-T", "dustglow-xterm", "-e"});
	RunThrough(xterm, 520, 800);
}


TEST_F(TerminalPixelsTest, KittyShowsItsGraphics)
{
	DESKTOP_REQUIRE(MissingTools({"Xvfb", "kitty", "xdotool"}));
	XTerminal kitty(Folder(), *fUser, "kitty", {"kitty", "--config", "NONE", "-o",
		"initial_window_width=500", "-o", "initial_window_height=360", "-o",
		"remember_window_size=no", "--title", "dustglow-kitty"});
	RunThrough(kitty, 520, 800);
}


TEST_F(TerminalPixelsTest, FootUnderSwayShowsSixels)
{
	DESKTOP_REQUIRE(MissingTools({"sway", "foot", "grim", "wtype", "swaymsg"}));
	FootUnderSway foot(Folder(), *fUser, 640, 480);
	RunThrough(foot, 640, 1024);
}
