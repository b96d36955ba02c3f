#include "outputs/OutputTable.h"

#include <iterator>

#include "outputs/files/FileOutput.h"
#include "outputs/headless/HeadlessOutput.h"
#include "outputs/terminal/TerminalOutput.h"
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


const OutputEntry kOutputs[] = {
	{OutputKind::Window, "window",
		"a window, when DISPLAY or WAYLAND_DISPLAY names a display that opens",
		[](const Options&, const OutputSurroundings& here) {
			return here.display ? OutputFit::Yes : OutputFit::No;
		},
		Make<WindowOutput>, Make<X11Screens, Screens>, Make<X11IdleWatch, IdleWatch>},
	{OutputKind::Terminal, "terminal",
		"the terminal, when standard output is one and shows colour",
		[](const Options&, const OutputSurroundings& here) {
			return here.terminal ? OutputFit::Yes : OutputFit::No;
		},
		Make<TerminalOutput>, nullptr, nullptr},
	{OutputKind::File, "file",
		"files, taken alone for --record and --png-dir",
		[](const Options& options, const OutputSurroundings&) {
			return options.WritesFiles() ? OutputFit::Only : OutputFit::No;
		},
		Make<FileOutput>, nullptr, nullptr},
	{OutputKind::Headless, "headless",
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
	// Every kind has its row.
	return kOutputs[0];
}


const OutputEntry*
FindOutput(std::string_view name)
{
	for (const OutputEntry& entry : kOutputs) {
		if (name == entry.name)
			return &entry;
	}
	return nullptr;
}


std::string
OutputNames()
{
	std::string names;
	for (const OutputEntry& entry : Outputs()) {
		if (&entry != Outputs().begin())
			names += &entry + 1 == Outputs().end() ? " or " : ", ";
		names += entry.name;
	}
	return names;
}
