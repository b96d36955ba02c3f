#include "outputs/Output.h"

#include <time.h>

#include <cstdio>

#include "base/Report.h"
#include "outputs/files/FileOutput.h"
#include "outputs/headless/HeadlessOutput.h"
#include "outputs/terminal/TerminalOutput.h"
#include "outputs/window/WindowOutput.h"


OutputEvents
Output::WaitUntil(std::chrono::steady_clock::time_point deadline)
{
	// One absolute sleep on the clock steady_clock reads, cut short by a
	// signal so that an interrupt is acted on at once.
	auto sinceEpoch = std::chrono::duration_cast<std::chrono::nanoseconds>(
		deadline.time_since_epoch());
	if (sinceEpoch.count() > 0) {
		timespec until{};
		until.tv_sec = static_cast<time_t>(sinceEpoch.count() / 1'000'000'000);
		until.tv_nsec = static_cast<long>(sinceEpoch.count() % 1'000'000'000);
		clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
	}
	return Poll();
}


void
Output::ShowNotice(const std::string& text)
{
	Report(text);
}


Result<void>
Output::ShowSettings(const SettingsPanel& panel)
{
	if (panel.items.empty())
		Report("the saver put nothing on its settings panel");
	for (const SettingsItem& item : panel.items)
		std::printf("%s\n", item.line.c_str());
	return {};
}


std::unique_ptr<Output>
MakeOutput(OutputKind kind)
{
	switch (kind) {
		case OutputKind::Headless:
			return std::make_unique<HeadlessOutput>();
		case OutputKind::Terminal:
			return std::make_unique<TerminalOutput>();
		case OutputKind::Window:
			return std::make_unique<WindowOutput>();
		case OutputKind::File:
			return std::make_unique<FileOutput>();
	}
	return nullptr;
}
