#include "Output.h"

#include <cstdio>
#include <thread>

#include "HeadlessOutput.h"
#include "Report.h"


OutputEvents
Output::WaitUntil(std::chrono::steady_clock::time_point deadline)
{
	std::this_thread::sleep_until(deadline);
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
		case OutputKind::Window:
		case OutputKind::Terminal:
		case OutputKind::File:
			break;
	}
	return nullptr;
}
