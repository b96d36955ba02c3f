#include "outputs/OutputTable.h"

#include <iterator>

#include "outputs/files/FileOutput.h"
#include "outputs/headless/HeadlessOutput.h"
#include "outputs/terminal/TerminalOutput.h"
#include "outputs/wayland/WaylandIdle.h"
#include "outputs/wayland/WaylandOutput.h"
#include "outputs/wayland/WaylandScreens.h"
#include "outputs/window/WindowOutput.h"
#include "outputs/window/X11IdleWatch.h"
#include "outputs/window/X11Screens.h"


namespace {

template<typename Made, typename Base = Output>
std::unique_ptr<Base>
Make()
{
	return std::make_unique<Made>();
}


// The family of the windows, as --output takes it.
constexpr const char* kWindowFamily = "window";


const OutputEntry kOutputs[] = {
	{OutputKind::Wayland, "wayland", OutputKind::Window,
		"a window on the Wayland compositor WAYLAND_DISPLAY names, when it answers",
		[](const Options& options, const OutputSurroundings& here) {
			// Windows of others (--window-id, --root) are X windows.
			return here.wayland && !options.windowId && !options.root ? OutputFit::Yes
				: OutputFit::No;
		},
		Make<WaylandOutput>, Make<WaylandScreens, Screens>, Make<WaylandIdle, IdleWatch>},
	{OutputKind::X11, "x11", OutputKind::Window,
		"a window on the X display DISPLAY names, when it opens",
		[](const Options&, const OutputSurroundings& here) {
			return here.display ? OutputFit::Yes : OutputFit::No;
		},
		Make<WindowOutput>, Make<X11Screens, Screens>, Make<X11IdleWatch, IdleWatch>},
	{OutputKind::Terminal, "terminal", OutputKind::Terminal,
		"the terminal, when standard output is one and shows colour",
		[](const Options&, const OutputSurroundings& here) {
			return here.terminal ? OutputFit::Yes : OutputFit::No;
		},
		Make<TerminalOutput>, nullptr, nullptr},
	{OutputKind::File, "file", OutputKind::File,
		"files, taken alone for --record and --png-dir",
		[](const Options& options, const OutputSurroundings&) {
			return options.WritesFiles() ? OutputFit::Only : OutputFit::No;
		},
		Make<FileOutput>, nullptr, nullptr},
	{OutputKind::Headless, "headless", OutputKind::Headless,
		"nothing shown, taken alone for --digest, else when nothing else works",
		[](const Options& options, const OutputSurroundings&) {
			return options.digest ? OutputFit::Only : OutputFit::Yes;
		},
		Make<HeadlessOutput>, nullptr, nullptr},
};

}	// namespace


const OutputEntry*
OutputRows::begin() const
{
	return std::begin(kOutputs);
}


const OutputEntry*
OutputRows::end() const
{
	return std::end(kOutputs);
}


const OutputEntry&
OutputRow(OutputKind kind)
{
	for (const OutputEntry& entry : kOutputs) {
		if (entry.kind == kind)
			return entry;
	}
	// Every kind but a family's has its row; a family's first row stands
	// for it.
	for (const OutputEntry& entry : kOutputs) {
		if (entry.family == kind)
			return entry;
	}
	return kOutputs[0];
}


std::optional<OutputKind>
FindOutput(std::string_view name)
{
	if (name == kWindowFamily)
		return OutputKind::Window;
	for (const OutputEntry& entry : kOutputs) {
		if (name == entry.name)
			return entry.kind;
	}
	return std::nullopt;
}


std::string
OutputName(OutputKind kind)
{
	return kind == OutputKind::Window ? kWindowFamily : OutputRow(kind).name;
}


std::string
OutputNames()
{
	std::string names = kWindowFamily;
	for (const OutputEntry& entry : Outputs())
		names += std::string(&entry + 1 == Outputs().end() ? " or " : ", ") + entry.name;
	return names;
}
