#include "run/ShowSettings.h"

#include <cxxabi.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <typeinfo>

#include <StringView.h>

#include "base/ViewSizes.h"


namespace {

const BRect kSettingsFrame(0, 0, kSettingsSize.width - 1, kSettingsSize.height - 1);


struct Freer {
	void operator()(char* text) const { std::free(text); }
};


std::string
ClassName(const BView& view)
{
	const char* mangled = typeid(view).name();
	int status = 0;
	std::unique_ptr<char, Freer> name(abi::__cxa_demangle(mangled, nullptr, nullptr, &status));
	return status == 0 && name ? std::string(name.get()) : std::string(mangled);
}


// The shortest text that reads back as the same float: 10, not 10.000000.
std::string
Coordinate(float value)
{
	char text[32];
	auto [end, error] = std::to_chars(text, text + sizeof(text), value);
	if (error != std::errc())
		return "?";
	return std::string(text, end);
}


// The text in double quotes, with quotes, backslashes and control characters
// escaped so that every view stays on one line.
std::string
Quoted(const char* text)
{
	std::string quoted = "\"";
	for (const char* c = text; *c != '\0'; c++) {
		unsigned char byte = static_cast<unsigned char>(*c);
		if (*c == '"' || *c == '\\') {
			quoted += '\\';
			quoted += *c;
		} else if (*c == '\n') {
			quoted += "\\n";
		} else if (*c == '\t') {
			quoted += "\\t";
		} else if (byte < 0x20 || byte == 0x7f) {
			char escape[5];
			std::snprintf(escape, sizeof(escape), "\\x%02x", byte);
			quoted += escape;
		} else {
			quoted += *c;
		}
	}
	return quoted + "\"";
}


void
DescribeChildren(const BView& parent, int depth, std::vector<SettingsItem>& items)
{
	for (const BView* child = parent.ChildAt(0); child != nullptr;
			child = child->NextSibling()) {
		SettingsItem item;
		item.className = ClassName(*child);
		item.frame = child->Frame();
		if (const BStringView* label = dynamic_cast<const BStringView*>(child)) {
			item.text = label->Text() != nullptr ? label->Text() : "";
			item.hasText = true;
		}
		item.depth = depth;
		item.line = std::string(2 * depth, ' ') + DescribeView(*child);
		items.push_back(item);
		DescribeChildren(*child, depth + 1, items);
	}
}

}	// namespace


std::string
DescribeView(const BView& view)
{
	BRect frame = view.Frame();
	std::string line = ClassName(view) + " frame (" + Coordinate(frame.left) + ", "
		+ Coordinate(frame.top) + ", " + Coordinate(frame.right) + ", "
		+ Coordinate(frame.bottom) + ")";
	if (const BStringView* label = dynamic_cast<const BStringView*>(&view))
		line += " " + Quoted(label->Text() != nullptr ? label->Text() : "");
	return line;
}


SettingsPanel
ShowSettings(BScreenSaver& saver)
{
	BView settings(kSettingsFrame, "settings", B_FOLLOW_ALL, B_WILL_DRAW);
	saver.StartConfig(&settings);

	SettingsPanel panel;
	panel.size = kSettingsSize;
	DescribeChildren(settings, 0, panel.items);

	saver.StopConfig();
	return panel;
}
