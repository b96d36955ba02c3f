// saverhost --output terminal end to end: the built host on a pseudo-terminal
// of its own, and in a tmux pane, from the first coloured cells to a terminal
// put back as it was, however the run ends.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "ExecPointers.h"
#include "ScratchFolder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const char kAlternateOn[] = "\x1b[?1049h";
const char kAlternateOff[] = "\x1b[?1049l";
const char kCursorShown[] = "\x1b[?25h";
const char kTrueColor[] = "8;2;";


bool
Contains(const std::string& text, const std::string& part)
{
	return text.find(part) != std::string::npos;
}


// saverhost on a pseudo-terminal of its own: it is the session leader and the
// terminal's foreground process, as when started from a shell.
class PtyRun {
public:
	struct Setup {
		std::vector<std::string> arguments;
		bool trueColor = true;
		std::string term = "xterm-256color";
		bool stdinFromNull = false;
		bool stdoutToNull = false;
		unsigned short columns = 100;
		unsigned short rows = 40;
	};

	explicit PtyRun(const Setup& setup)
	{
		struct winsize size = {};
		size.ws_col = setup.columns;
		size.ws_row = setup.rows;
		fPid = forkpty(&fMaster, nullptr, nullptr, &size);
		if (fPid == 0) {
			if (setup.trueColor)
				setenv("COLORTERM", "truecolor", 1);
			else
				unsetenv("COLORTERM");
			setenv("TERM", setup.term.c_str(), 1);
			for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "XSCREENSAVER_WINDOW"})
				unsetenv(display);
			int null = open("/dev/null", O_RDWR);
			if (setup.stdinFromNull)
				dup2(null, STDIN_FILENO);
			if (setup.stdoutToNull)
				dup2(null, STDOUT_FILENO);
			std::vector<std::string> arguments = {SAVERHOST_PATH};
			arguments.insert(arguments.end(), setup.arguments.begin(), setup.arguments.end());
			std::vector<char*> argv = ExecPointers(arguments);
			execv(argv[0], argv.data());
			_exit(127);
		}
	}

	~PtyRun()
	{
		if (fPid > 0 && fStatus < 0) {
			kill(fPid, SIGKILL);
			waitpid(fPid, nullptr, 0);
		}
		if (fMaster >= 0)
			close(fMaster);
	}

	bool Started() const { return fPid > 0 && fMaster >= 0; }

	// Everything the host wrote so far.
	const std::string& Output() const { return fOutput; }

	// Reads until done(output) holds or the time is up.
	bool ReadUntil(const std::function<bool(const std::string&)>& done,
		std::chrono::milliseconds limit = 15s)
	{
		auto end = std::chrono::steady_clock::now() + limit;
		while (!done(fOutput)) {
			auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
				end - std::chrono::steady_clock::now());
			if (left.count() <= 0 || !_ReadSome(static_cast<int>(left.count())))
				return done(fOutput);
		}
		return true;
	}

	bool ReadUntilContains(const std::string& part, std::chrono::milliseconds limit = 15s)
	{
		return ReadUntil([&](const std::string& out) { return Contains(out, part); }, limit);
	}

	void Type(const std::string& keys)
	{
		ASSERT_EQ(write(fMaster, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
	}

	void Signal(int signal) { kill(fPid, signal); }
	// The signal that killed the host, once it ended; 0 when it exited.
	int KilledBy() const { return fKilledBy; }

	void Resize(unsigned short columns, unsigned short rows)
	{
		struct winsize size = {};
		size.ws_col = columns;
		size.ws_row = rows;
		ioctl(fMaster, TIOCSWINSZ, &size);
	}

	bool Running()
	{
		if (fStatus >= 0)
			return false;
		int status = 0;
		if (waitpid(fPid, &status, WNOHANG) == fPid) {
			_Record(status);
			return false;
		}
		return true;
	}

	// The exit status as a shell reports it (128 + signal when killed), after
	// reading the rest of the output; -1 when the host did not end in time.
	int Finish(std::chrono::milliseconds limit = 15s)
	{
		auto end = std::chrono::steady_clock::now() + limit;
		while (Running() && std::chrono::steady_clock::now() < end)
			_ReadSome(50);
		if (fStatus < 0)
			return -1;
		while (_ReadSome(200)) {
		}
		return fStatus;
	}

	// The terminal's modes as they are now (shared by both ends).
	struct termios Modes() const
	{
		struct termios modes = {};
		tcgetattr(fMaster, &modes);
		return modes;
	}

private:
	bool _ReadSome(int milliseconds)
	{
		struct pollfd ready = {fMaster, POLLIN, 0};
		if (poll(&ready, 1, milliseconds) <= 0)
			return false;
		char bytes[65536];
		ssize_t got = read(fMaster, bytes, sizeof(bytes));
		if (got <= 0)
			return false;
		fOutput.append(bytes, static_cast<size_t>(got));
		return true;
	}

	void _Record(int status)
	{
		fStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
		fKilledBy = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
	}

	pid_t fPid = -1;
	int fMaster = -1;
	int fStatus = -1;
	int fKilledBy = 0;
	std::string fOutput;
};


PtyRun::Setup
Saver(std::vector<std::string> extra = {})
{
	PtyRun::Setup setup;
	setup.arguments = {"--output", "terminal", "--size", "320x240", "--clock", "7"};
	setup.arguments.insert(setup.arguments.end(), extra.begin(), extra.end());
	return setup;
}


bool
KeysAreTyped(const struct termios& modes)
{
	return (modes.c_lflag & ECHO) == 0 && (modes.c_lflag & ICANON) == 0;
}


bool
LinesAreTyped(const struct termios& modes)
{
	return (modes.c_lflag & ECHO) != 0 && (modes.c_lflag & ICANON) != 0;
}


// The run left the alternate screen, with the cursor shown, after it last
// entered it.
void
ExpectScreenPutBack(const std::string& output)
{
	size_t entered = output.rfind(kAlternateOn);
	ASSERT_NE(entered, std::string::npos) << "never took the screen";
	size_t left = output.rfind(kAlternateOff);
	ASSERT_NE(left, std::string::npos) << "never gave the screen back";
	EXPECT_GT(left, entered);
	size_t shown = output.rfind(kCursorShown);
	ASSERT_NE(shown, std::string::npos) << "cursor left hidden";
	EXPECT_GT(shown, entered);
}

}	// namespace


// #pragma mark - on a pseudo-terminal


TEST(TerminalRun, QuitKeysEndTheRunAndPutTheTerminalBack)
{
	// q, and Esc on its own after an arrow key that must not stop the run.
	for (const char* quit : {"q", "\x1b"}) {
		PtyRun run(Saver());
		ASSERT_TRUE(run.Started());
		ASSERT_TRUE(run.ReadUntilContains(kTrueColor)) << "no coloured cells";
		EXPECT_TRUE(KeysAreTyped(run.Modes()));
		EXPECT_TRUE(Contains(run.Output(), kAlternateOn));
		EXPECT_TRUE(Contains(run.Output(), "\x1b[?25l"));

		run.Type("\x1b[A");
		std::this_thread::sleep_for(300ms);
		EXPECT_TRUE(run.Running()) << "an arrow key stopped the run";

		run.Type(quit);
		EXPECT_EQ(run.Finish(), 0) << "after " << (quit[0] == 'q' ? "q" : "Esc");
		ExpectScreenPutBack(run.Output());
		EXPECT_TRUE(LinesAreTyped(run.Modes()));
	}
}


TEST(TerminalRun, SignalsEndTheRunAndPutTheTerminalBack)
{
	// Ctrl-C typed at the terminal, and SIGTERM and SIGHUP sent: each ends
	// the run, with the terminal as it was, and then the process, by the
	// signal.
	struct Case {
		const char* name;
		std::function<void(PtyRun&)> stop;
		int signal;
	};
	const Case cases[] = {
		{"Ctrl-C", [](PtyRun& run) { run.Type("\x03"); }, SIGINT},
		{"SIGTERM", [](PtyRun& run) { run.Signal(SIGTERM); }, SIGTERM},
		{"SIGHUP", [](PtyRun& run) { run.Signal(SIGHUP); }, SIGHUP},
	};
	for (const Case& test : cases) {
		PtyRun run(Saver());
		ASSERT_TRUE(run.Started());
		ASSERT_TRUE(run.ReadUntilContains(kTrueColor)) << test.name;
		test.stop(run);
		run.Finish();
		EXPECT_EQ(run.KilledBy(), test.signal) << test.name;
		ExpectScreenPutBack(run.Output());
		EXPECT_TRUE(LinesAreTyped(run.Modes())) << test.name;
	}
}


TEST(TerminalRun, ResizedTerminalIsRepaintedAtItsNewSize)
{
	PtyRun run(Saver());
	ASSERT_TRUE(run.Started());
	ASSERT_TRUE(run.ReadUntilContains(kTrueColor));
	// Frames at 100 x 40 reach the last row.
	ASSERT_TRUE(run.ReadUntil([](const std::string& out) { return Contains(out, "\x1b[40H"); }));

	size_t before = run.Output().size();
	run.Resize(60, 20);
	ASSERT_TRUE(run.ReadUntil([&](const std::string& out) {
		size_t clear = out.find("\x1b[2J", before);
		return clear != std::string::npos && out.find("\x1b[20H", clear) != std::string::npos;
	})) << "no clear and repaint down to the new last row";

	// After the clear nothing lands outside 60 x 20.
	std::string after = run.Output().substr(run.Output().find("\x1b[2J", before));
	std::regex position("\x1b\\[(\\d+)(;(\\d+))?H");
	for (auto match = std::sregex_iterator(after.begin(), after.end(), position);
			match != std::sregex_iterator(); ++match) {
		EXPECT_LE(std::stoi((*match)[1]), 20);
		if ((*match)[3].matched) {
			EXPECT_LE(std::stoi((*match)[3]), 60);
		}
	}

	run.Type("q");
	EXPECT_EQ(run.Finish(), 0);
}


TEST(TerminalRun, TerminalsWithoutTrueColourGetThePalette)
{
	PtyRun::Setup setup = Saver();
	setup.trueColor = false;
	PtyRun run(setup);
	ASSERT_TRUE(run.Started());
	ASSERT_TRUE(run.ReadUntil([](const std::string& out) {
		return Contains(out, "38;5;") && Contains(out, "48;5;");
	}));
	EXPECT_FALSE(Contains(run.Output(), kTrueColor));
	run.Type("Q");
	EXPECT_EQ(run.Finish(), 0);
}


TEST(TerminalRun, FpsShowsAStatusLineOnTheLastRow)
{
	PtyRun run(Saver({"--fps"}));
	ASSERT_TRUE(run.Started());
	ASSERT_TRUE(run.ReadUntilContains("q to quit"));
	std::regex status("\x1b\\[40;1H[^\x1b]*\x1b\\[0m\x1b\\[2K[0-9.]+ fps  [0-9.]+ ms/frame  "
		"[0-9]+% CPU  q to quit");
	EXPECT_TRUE(std::regex_search(run.Output(), status));
	run.Type("q");
	EXPECT_EQ(run.Finish(), 0);
}


TEST(TerminalRun, SettingsAreShownUntilAKeyOrListedWhenNoKeyCanCome)
{
	PtyRun::Setup setup;
	setup.arguments = {"--output", "terminal", "--config"};
	{
		PtyRun run(setup);
		ASSERT_TRUE(run.Started());
		ASSERT_TRUE(run.ReadUntilContains("press any key"));
		EXPECT_TRUE(Contains(run.Output(), "No configuration options...yet"));
		EXPECT_TRUE(Contains(run.Output(), " settings "));
		std::this_thread::sleep_for(200ms);
		EXPECT_TRUE(run.Running());
		run.Type("x");
		EXPECT_EQ(run.Finish(), 0);
		ExpectScreenPutBack(run.Output());
		EXPECT_TRUE(LinesAreTyped(run.Modes()));
	}

	// Standard input is no terminal: the listing, on the normal screen.
	setup.stdinFromNull = true;
	PtyRun listed(setup);
	ASSERT_TRUE(listed.Started());
	EXPECT_EQ(listed.Finish(), 0);
	EXPECT_TRUE(Contains(listed.Output(),
		"BStringView frame (10, 10, 200, 35) \"No configuration options...yet\""))
		<< listed.Output();
	EXPECT_FALSE(Contains(listed.Output(), kAlternateOn));
}


// A terminal without colour is refused; chosen automatically, it gives way to
// the next output in one line.
TEST(TerminalRun, RefusesATerminalWithoutColour)
{
	for (bool asked : {true, false}) {
		PtyRun::Setup setup;
		setup.term = "dumb";
		setup.arguments = {"--frames", "1", "--size", "8x8"};
		if (asked)
			setup.arguments.insert(setup.arguments.end(), {"--output", "terminal"});
		PtyRun run(setup);
		ASSERT_TRUE(run.Started());
		EXPECT_EQ(run.Finish(), asked ? 1 : 0);
		EXPECT_EQ(run.Output(), asked
			? "saverhost: the terminal shows no colour (TERM=dumb); try --output window, or "
				"--record dust.mp4\r\n"
			: "saverhost: the terminal shows no colour (TERM=dumb); running headless\r\n");
	}
}


TEST(TerminalRun, RefusesWhenStandardOutputIsNoTerminal)
{
	PtyRun::Setup setup = Saver();
	setup.stdoutToNull = true;
	PtyRun run(setup);
	ASSERT_TRUE(run.Started());
	EXPECT_EQ(run.Finish(), 1);
	EXPECT_TRUE(Contains(run.Output(), "standard output is not a terminal; try --record dust.mp4 or "
		"--snapshot dust.png"))
		<< run.Output();
	EXPECT_TRUE(LinesAreTyped(run.Modes()));
}


// #pragma mark - in tmux


namespace {

// A tmux server of the test's own, with one 100 x 40 pane that runs the host
// from a small script and keeps a shell-like line afterwards.
class TmuxTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		if (std::system("tmux -V >/dev/null 2>&1") != 0)
			GTEST_SKIP() << "tmux is not installed";
		fSocket = "dustglow-test-" + std::to_string(getpid());
		ASSERT_FALSE(fDirectory.empty());
	}

	void TearDown() override
	{
		if (!fSocket.empty())
			Tmux("kill-server");
	}

	// Runs a tmux command on the test's server; its standard output.
	std::string Tmux(const std::string& command)
	{
		std::string line = "tmux -L " + fSocket + " -f /dev/null " + command + " 2>/dev/null";
		std::string out;
		if (FILE* pipe = popen(line.c_str(), "r")) {
			char buffer[4096];
			size_t got;
			while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
				out.append(buffer, got);
			pclose(pipe);
		}
		return out;
	}

	// Starts the pane: a line of text, the host (its pid and exit status
	// kept in files), the terminal's modes afterwards, another line.
	void Start()
	{
		fs::path script = fDirectory / "run.sh";
		std::ofstream(script)
			<< "echo 'before the saver'\n"
			<< "sh -c 'echo $$ > \"$1/pid\"; exec \"$2\" --output terminal --size 320x240 "
			<< "--clock 7' sh '" << fDirectory.string() << "' '" << SAVERHOST_PATH << "'\n"
			<< "echo $? > '" << (fDirectory / "status").string() << "'\n"
			<< "stty -a > '" << (fDirectory / "stty").string() << "'\n"
			<< "echo 'back at the shell'\n"
			<< "exec sleep 600\n";
		Tmux("new-session -d -x 100 -y 40 -e COLORTERM=truecolor 'sh " + script.string() + "'");
	}

	std::string Read(const std::string& name)
	{
		std::ifstream file(fDirectory / name);
		return std::string(std::istreambuf_iterator<char>(file), {});
	}

	bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 15s)
	{
		auto end = std::chrono::steady_clock::now() + limit;
		while (!done()) {
			if (std::chrono::steady_clock::now() > end)
				return false;
			std::this_thread::sleep_for(100ms);
		}
		return true;
	}

	// The saver drew coloured cells on the alternate screen, cursor hidden.
	void ExpectRunning()
	{
		ASSERT_TRUE(WaitFor([&] { return Contains(Tmux("capture-pane -e -p"), "38;2;"); }))
			<< Tmux("capture-pane -e -p");
		EXPECT_EQ(Tmux("display -p '#{alternate_on} #{cursor_flag}'"), "1 0\n");
		ASSERT_TRUE(WaitFor([&] { return !Read("pid").empty(); }));
	}

	// The host ended with status, and the pane is as before it started.
	void ExpectPutBack(const std::string& status)
	{
		ASSERT_TRUE(WaitFor([&] { return Contains(Read("stty"), "speed"); }))
			<< Tmux("capture-pane -p");
		EXPECT_EQ(Read("status"), status + "\n");
		ASSERT_TRUE(WaitFor([&] { return Contains(Tmux("capture-pane -p"), "back at the shell"); }));
		std::string pane = Tmux("capture-pane -p");
		EXPECT_TRUE(Contains(pane, "before the saver")) << pane;
		EXPECT_FALSE(Contains(pane, "\xe2\x96\x80")) << pane;
		EXPECT_EQ(Tmux("display -p '#{alternate_on} #{cursor_flag}'"), "0 1\n");
		std::string modes = Read("stty");
		EXPECT_TRUE(std::regex_search(modes, std::regex("(^|\\s)icanon(\\s|$)"))) << modes;
		EXPECT_TRUE(std::regex_search(modes, std::regex("(^|\\s)echo(\\s|$)"))) << modes;
	}

	std::string fSocket;
	ScratchFolder fScratch{"terminal"};
	const fs::path fDirectory = fScratch.Path();
};

}	// namespace


TEST_F(TmuxTest, QuitWithQLeavesThePaneAsItWas)
{
	Start();
	ASSERT_NO_FATAL_FAILURE(ExpectRunning());
	Tmux("send-keys q");
	ExpectPutBack("0");
}


TEST_F(TmuxTest, SigtermLeavesThePaneAsItWas)
{
	Start();
	ASSERT_NO_FATAL_FAILURE(ExpectRunning());
	pid_t pid = std::stoi(Read("pid"));
	ASSERT_GT(pid, 0);
	kill(pid, SIGTERM);
	ExpectPutBack("143");
}
