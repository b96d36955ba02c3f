// The command line of the outputs, and which output a run picks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "outputs/OutputChoice.h"
#include "outputs/files/VideoFormat.h"
#include "run/CommandLine.h"

namespace {

Result<CommandLine>
Parse(std::vector<const char*> arguments)
{
	arguments.insert(arguments.begin(), "saverhost");
	return ParseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}


Options
Parsed(std::vector<const char*> arguments)
{
	Result<CommandLine> line = Parse(std::move(arguments));
	EXPECT_TRUE(line) << line.Message();
	return line ? line.Value().options : Options{};
}


// Sets an environment variable for the life of a test, or unsets it.
class ScopedVariable {
public:
	ScopedVariable(const char* name, const char* value) : fName(name)
	{
		if (const char* old = std::getenv(name))
			fOld = old;
		if (value != nullptr)
			setenv(name, value, 1);
		else
			unsetenv(name);
	}
	~ScopedVariable()
	{
		if (fOld)
			setenv(fName, fOld->c_str(), 1);
		else
			unsetenv(fName);
	}

private:
	const char* fName;
	std::optional<std::string> fOld;
};


std::vector<OutputKind>
Candidates(const std::vector<const char*>& arguments, OutputSurroundings surroundings)
{
	Result<OutputPlan> plan = PlanOutput(Parsed(arguments), surroundings);
	EXPECT_TRUE(plan) << plan.Message();
	return plan ? plan.Value().candidates : std::vector<OutputKind>{};
}

constexpr OutputSurroundings kDisplayAndTerminal{true, true};
constexpr OutputSurroundings kTerminalOnly{false, true};
constexpr OutputSurroundings kNeither{false, false};
constexpr OutputSurroundings kWaylandOnly{false, false, true};
constexpr OutputSurroundings kWaylandAndX{true, false, true};

using Kinds = std::vector<OutputKind>;

}	// namespace


TEST(OutputOptions, ParseTheirValues)
{
	ScopedVariable noDaemon("XSCREENSAVER_WINDOW", nullptr);
	Options options = Parsed({"--output", "terminal", "--fps"});
	EXPECT_EQ(options.output, OutputKind::Terminal);
	EXPECT_TRUE(options.fps);

	EXPECT_EQ(Parsed({"--window-id", "0x2a00007"}).windowId, 0x2a00007ul);
	EXPECT_EQ(Parsed({"--window-id=0X1F"}).windowId, 0x1ful);
	EXPECT_EQ(Parsed({"--window-id", "4194311"}).windowId, 4194311ul);
	EXPECT_TRUE(Parsed({"--root"}).root);
	EXPECT_TRUE(Parsed({"--fullscreen"}).fullscreen);

	EXPECT_EQ(Parsed({"--record", "out/Dust.MP4"}).recordPath, "out/Dust.MP4");
	EXPECT_EQ(VideoFormatOf("a.webm"), VideoFormat::Webm);
	EXPECT_EQ(VideoFormatOf("a.GIF"), VideoFormat::Gif);
	EXPECT_EQ(VideoFormatOf("clip.mp4/video"), std::nullopt);
	EXPECT_EQ(Parsed({"--png-dir", "frames"}).pngDirectory, "frames");
	EXPECT_EQ(Parsed({"--snapshot", "Out.PNG"}).snapshotPath, "Out.PNG");

	// After a switch, an add-on by a path, by --module, or after "--".
	EXPECT_EQ(Parsed({"--fps", "./30"}).modulePath, "./30");
	EXPECT_EQ(Parsed({"--fps", "--module", "30"}).modulePath, "30");
	EXPECT_EQ(Parsed({"--fps", "--", "30"}).modulePath, "30");
	EXPECT_EQ(Parsed({"--fps", "Dustglow"}).modulePath, "Dustglow");
	EXPECT_EQ(Parsed({"--frames", "3", "30"}).modulePath, "30");
}


// Screen-saver daemons and lockers pass the single-dash forms.
TEST(OutputOptions, TakeTheSingleDashFormsOfScreenSaverDaemons)
{
	ScopedVariable noDaemon("XSCREENSAVER_WINDOW", nullptr);
	Options options = Parsed({"-root", "-fps"});
	EXPECT_TRUE(options.root);
	EXPECT_TRUE(options.fps);
	EXPECT_EQ(Parsed({"-window-id", "0x2a00007"}).windowId, 0x2a00007ul);
	EXPECT_EQ(Parsed({"-window"}).output, OutputKind::Window);
	Result<CommandLine> help = Parse({"-help"});
	ASSERT_TRUE(help);
	EXPECT_EQ(help.Value().command, Command::Help);

	// Only those: the other options keep their double dash.
	for (const char* other : {"-size", "-frames", "-output", "-fullscreen"}) {
		Result<CommandLine> line = Parse({other, "1"});
		ASSERT_FALSE(line) << other;
		EXPECT_EQ(line.Message(), std::string("unknown option ") + other);
	}
	Result<CommandLine> bad = Parse({"-window-id", "-root"});
	ASSERT_FALSE(bad);
	EXPECT_EQ(bad.Message(), "-window-id -root: expected an X window id, in decimal or in "
		"hex as in 0x2a00007");
}


TEST(OutputOptions, RejectBadValuesAndClashesNamingThem)
{
	ScopedVariable noDaemon("XSCREENSAVER_WINDOW", nullptr);
	struct Case {
		std::vector<const char*> arguments;
		std::string message;
	};
	const Case cases[] = {
		{{"--output", "tv"}, "--output tv: expected window, wayland, x11, terminal, file or "
			"headless"},
		{{"--output"}, "--output needs window, wayland, x11, terminal, file or headless, as "
			"in --output terminal"},
		{{"--window-id", "0"}, "--window-id 0: expected an X window id, in decimal or in hex "
			"as in 0x2a00007"},
		{{"--window-id", "-3"}, "--window-id -3: expected an X window id, in decimal or in hex "
			"as in 0x2a00007"},
		{{"--window-id", "0x"}, "--window-id 0x: expected an X window id, in decimal or in hex "
			"as in 0x2a00007"},
		{{"--window-id", "0x100000000"}, "--window-id 0x100000000: expected an X window id, "
			"in decimal or in hex as in 0x2a00007"},
		{{"--record", "dust.avi"}, "--record dust.avi: the file name must end in .mp4, .webm "
			"or .gif"},
		{{"--record", "mp4"}, "--record mp4: the file name must end in .mp4, .webm or .gif"},
		{{"--record"}, "--record needs a file name, as in --record dust.mp4"},
		{{"--png-dir="}, "--png-dir needs a directory, as in --png-dir frames"},
		{{"--fullscreen", "--output", "terminal"}, "--fullscreen needs the window; it cannot "
			"go with --output terminal"},
		{{"--root", "--output", "wayland"}, "--root draws in an X window; it cannot go with "
			"--output wayland"},
		{{"--record", "a.gif", "--output", "window"}, "--record writes files; it cannot go "
			"with --output window"},
		{{"--png-dir", "f", "--root"}, "--png-dir writes files; it cannot go with --root"},
		{{"--record", "a.gif", "--frames", "0"}, "--record needs at least one frame; "
			"--frames 0 records nothing"},
		{{"--png-dir", "d", "--frames", "0"}, "--png-dir needs at least one frame; "
			"--frames 0 writes nothing"},
		{{"--output", "file", "--fps"}, "--output file needs something to write: --record "
			"FILE, --png-dir DIR, --snapshot FILE or --digest"},
		{{"--fullscreen", "--root"}, "--fullscreen fills the screen with a window of its "
			"own; it cannot go with --root, which draws in a window that is there already"},
		{{"--window-id", "7", "--fullscreen"}, "--fullscreen fills the screen with a window "
			"of its own; it cannot go with --window-id, which draws in a window that is there "
			"already"},
		{{"--snapshot", "frame.jpg"}, "--snapshot frame.jpg: the file name must end in .png"},
		{{"--snapshot", "png"}, "--snapshot png: the file name must end in .png"},
		{{"--fps", "30"}, "--fps takes no value; \"30\" after it looks like one (an add-on of "
			"that name goes after --module)"},
		{{"--root", "0x2a00007"}, "--root takes no value; \"0x2a00007\" after it looks like "
			"one (an add-on of that name goes after --module)"},
		{{"--preview", "Yes"}, "--preview takes no value; \"Yes\" after it looks like one (an "
			"add-on of that name goes after --module)"},
		{{"--screensaver", "--root"}, "--screensaver covers every monitor until the user's "
			"first touch; it cannot go with --root"},
		{{"--screensaver", "--output", "terminal"}, "--screensaver covers every monitor until "
			"the user's first touch; it cannot go with --output terminal"},
		{{"--idle", "60", "--frames", "9"}, "--idle covers every monitor until the user's "
			"first touch; it cannot go with --frames"},
		{{"--idle", "0"}, "--idle 0: expected a whole number from 1 to 86400"},
		{{"--terminal-pixels", "sixel", "--output", "headless"}, "--terminal-pixels is how "
			"the terminal shows the picture; it cannot go with --output headless"},
		{{"--record", "a.gif", "--terminal-pixels", "kitty"}, "--terminal-pixels is how the "
			"terminal shows the picture; it cannot go with --record"},
	};
	for (const Case& test : cases) {
		Result<CommandLine> line = Parse(test.arguments);
		ASSERT_FALSE(line) << test.message;
		EXPECT_EQ(line.Message(), test.message);
	}
}


TEST(OutputOptions, DaemonWindowStandsInForAMissingWindowId)
{
	ScopedVariable daemon("XSCREENSAVER_WINDOW", "0x600001");
	EXPECT_EQ(Parsed({}).windowId, 0x600001ul);
	{
		// A locker writes it in decimal.
		ScopedVariable decimal("XSCREENSAVER_WINDOW", "6291457");
		EXPECT_EQ(Parsed({"-root"}).windowId, 0x600001ul);
	}
	EXPECT_EQ(Parsed({"--window-id", "7"}).windowId, 7ul);
	// Where the window is not used, the variable is not either.
	EXPECT_EQ(Parsed({"--output", "terminal"}).windowId, std::nullopt);
	EXPECT_EQ(Parsed({"--record", "a.mp4"}).windowId, std::nullopt);
	// A window of saverhost's own asked for on the command line wins, as
	// does the terminal that --terminal-pixels asks for.
	EXPECT_EQ(Parsed({"--fullscreen"}).windowId, std::nullopt);
	EXPECT_EQ(Parsed({"--terminal-pixels", "cells"}).windowId, std::nullopt);
	EXPECT_EQ(Parsed({"--terminal-pixels", "cells"}).output, OutputKind::Terminal);

	ScopedVariable broken("XSCREENSAVER_WINDOW", "screen");
	Result<CommandLine> line = Parse({});
	ASSERT_FALSE(line);
	EXPECT_EQ(line.Message(), "XSCREENSAVER_WINDOW=screen: expected an X window id, in "
		"decimal or in hex as in 0x2a00007");
	EXPECT_TRUE(Parse({"--output", "headless"}));
}


TEST(OutputChoice, PrefersWindowThenTerminalThenHeadless)
{
	ScopedVariable noDaemon("XSCREENSAVER_WINDOW", nullptr);
	EXPECT_EQ(Candidates({}, kDisplayAndTerminal),
		(Kinds{OutputKind::X11, OutputKind::Terminal, OutputKind::Headless}));
	EXPECT_EQ(Candidates({}, kWaylandAndX),
		(Kinds{OutputKind::Wayland, OutputKind::X11, OutputKind::Headless}));
	EXPECT_EQ(Candidates({}, kTerminalOnly), (Kinds{OutputKind::Terminal, OutputKind::Headless}));
	EXPECT_EQ(Candidates({}, kNeither), (Kinds{OutputKind::Headless}));
	EXPECT_EQ(Candidates({"--config"}, kNeither), (Kinds{OutputKind::Headless}));
	EXPECT_FALSE(PlanOutput(Parsed({}), kDisplayAndTerminal).Value().asked);
}


TEST(OutputChoice, ABareRunWithNowhereToShowItSaysSo)
{
	ScopedVariable noDaemon("XSCREENSAVER_WINDOW", nullptr);
	EXPECT_NE(PlanOutput(Parsed({}), kNeither).Value().notice.find("no display"),
		std::string::npos);
	// Somewhere to show it, or a run that asks for something of its own.
	EXPECT_EQ(PlanOutput(Parsed({}), kTerminalOnly).Value().notice, "");
	EXPECT_EQ(PlanOutput(Parsed({"--frames", "3"}), kNeither).Value().notice, "");
	EXPECT_EQ(PlanOutput(Parsed({"--snapshot", "x.png"}), kNeither).Value().notice, "");
}


TEST(OutputChoice, FilesAndDigestsAreNotShown)
{
	ScopedVariable noDaemon("XSCREENSAVER_WINDOW", nullptr);
	EXPECT_EQ(Candidates({"--digest"}, kDisplayAndTerminal), (Kinds{OutputKind::Headless}));
	EXPECT_EQ(Candidates({"--record", "a.mp4"}, kDisplayAndTerminal), (Kinds{OutputKind::File}));
	EXPECT_EQ(Candidates({"--png-dir", "d", "--digest"}, kNeither), (Kinds{OutputKind::File}));
	// The file output with only a snapshot or digests to write is the
	// headless one.
	EXPECT_EQ(Candidates({"--output", "file", "--snapshot", "a.png"}, kNeither),
		(Kinds{OutputKind::Headless}));
}


TEST(OutputChoice, AskedOutputIsTheOnlyOne)
{
	ScopedVariable noDaemon("XSCREENSAVER_WINDOW", nullptr);
	for (const char* forced : {"terminal", "headless"}) {
		Result<OutputPlan> plan = PlanOutput(Parsed({"--output", forced}), kDisplayAndTerminal);
		ASSERT_TRUE(plan);
		EXPECT_TRUE(plan.Value().asked);
		ASSERT_EQ(plan.Value().candidates.size(), 1u);
		EXPECT_STREQ(OutputRow(plan.Value().candidates[0]).name, forced);
	}
	// An option only the window has asks for the window, even with --digest.
	EXPECT_EQ(Candidates({"--fullscreen", "--digest"}, kDisplayAndTerminal),
		(Kinds{OutputKind::X11}));
	// A window is Wayland's where there is a compositor, but windows of others
	// are X's.
	EXPECT_EQ(Candidates({"--output", "window"}, kWaylandAndX), (Kinds{OutputKind::Wayland}));
	EXPECT_EQ(Candidates({"--fullscreen"}, kWaylandOnly), (Kinds{OutputKind::Wayland}));
	EXPECT_EQ(Candidates({"--root"}, kWaylandAndX), (Kinds{OutputKind::X11}));
	EXPECT_EQ(Candidates({"--output", "x11"}, kWaylandAndX), (Kinds{OutputKind::X11}));

	struct Case {
		std::vector<const char*> arguments;
		std::string message;
	};
	const Case cases[] = {
		{{"--output", "window"}, "no display for --output window (is WAYLAND_DISPLAY or "
			"DISPLAY set?); try --output terminal"},
		{{"--fullscreen"}, "no display for --fullscreen (is WAYLAND_DISPLAY or DISPLAY set?); "
			"try --output terminal"},
		{{"--window-id", "5"}, "no display for --window-id (is DISPLAY set?); try --output "
			"terminal"},
	};
	for (const Case& test : cases) {
		Result<OutputPlan> plan = PlanOutput(Parsed(test.arguments), kTerminalOnly);
		ASSERT_FALSE(plan);
		EXPECT_EQ(plan.Message(), test.message);
	}
}


// Every monitor covered, and idleness told, by the compositor where there is
// one, else by X; --output window takes whichever of the two fits.
TEST(OutputChoice, ScreensAndIdlenessComeFromTheCompositorFirst)
{
	ScopedVariable noDaemon("XSCREENSAVER_WINDOW", nullptr);
	auto screens = [](std::vector<const char*> arguments, OutputSurroundings here) {
		Result<std::vector<OutputKind>> plan = PlanScreens(Parsed(arguments), here);
		return plan ? plan.Value() : Kinds{};
	};
	EXPECT_EQ(screens({"--screensaver"}, kWaylandAndX), (Kinds{OutputKind::Wayland,
		OutputKind::X11}));
	EXPECT_EQ(screens({"--screensaver"}, kDisplayAndTerminal), (Kinds{OutputKind::X11}));
	EXPECT_EQ(screens({"--screensaver", "--output", "window"}, kWaylandOnly),
		(Kinds{OutputKind::Wayland}));
	EXPECT_EQ(screens({"--screensaver", "--output", "x11"}, kWaylandOnly),
		(Kinds{OutputKind::X11}));
	Result<std::vector<OutputKind>> idle = PlanIdleWatch(Parsed({"--idle", "5"}), kWaylandOnly);
	ASSERT_TRUE(idle);
	EXPECT_EQ(idle.Value(), (Kinds{OutputKind::Wayland}));
}
