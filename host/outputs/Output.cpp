#include "outputs/Output.h"

#include <time.h>

#include <cstdio>

#include "base/Report.h"


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
