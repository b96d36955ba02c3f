#include "run/OptionValues.h"

#include <charconv>
#include <limits>
#include <optional>

#include "base/Options.h"
#include "base/ViewSizes.h"
#include "outputs/files/VideoFormat.h"


namespace {

bool
AllDigits(std::string_view text)
{
	if (text.empty())
		return false;
	for (char c : text) {
		if (c < '0' || c > '9')
			return false;
	}
	return true;
}


// A whole number: an optional minus sign and at least one digit, nothing else.
// Numbers beyond int64 saturate, which every caller rejects as too large or
// too small anyway.
std::optional<int64_t>
ParseInteger(std::string_view text)
{
	bool negative = !text.empty() && text.front() == '-';
	std::string_view digits = negative ? text.substr(1) : text;
	if (!AllDigits(digits))
		return std::nullopt;

	int64_t value = 0;
	auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
	if (error == std::errc::result_out_of_range) {
		return negative ? std::numeric_limits<int64_t>::min()
			: std::numeric_limits<int64_t>::max();
	}
	if (error != std::errc() || end != text.data() + text.size())
		return std::nullopt;
	return value;
}


std::optional<unsigned long>
ParseWindowIdText(std::string_view text)
{
	int base = 10;
	if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
		text.remove_prefix(2);
		base = 16;
	}
	if (text.empty() || text.front() == '-' || text.front() == '+')
		return std::nullopt;
	uint64_t id = 0;
	auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id, base);
	if (error != std::errc() || end != text.data() + text.size() || id == 0
		|| id > std::numeric_limits<uint32_t>::max()) {
		return std::nullopt;
	}
	return static_cast<unsigned long>(id);
}

}	// namespace


std::string
OptionText(std::string_view option, std::string_view value)
{
	return std::string(option) + " " + std::string(value);
}


Result<Size>
ParseSize(std::string_view text)
{
	size_t cross = text.find_first_of("xX");
	std::optional<int64_t> width;
	std::optional<int64_t> height;
	if (cross != std::string_view::npos) {
		width = ParseInteger(text.substr(0, cross));
		height = ParseInteger(text.substr(cross + 1));
	}
	if (!width || !height) {
		return Error{OptionText("--size", text)
			+ ": expected WIDTHxHEIGHT in pixels, as in 640x480"};
	}
	if (*width < 1 || *height < 1)
		return Error{OptionText("--size", text) + ": width and height must be at least 1"};
	if (*width > kMaxViewSide || *height > kMaxViewSide) {
		return Error{OptionText("--size", text) + ": width and height must be at most "
			+ std::to_string(kMaxViewSide)};
	}
	return Size{static_cast<int32_t>(*width), static_cast<int32_t>(*height)};
}


Result<int32_t>
ParseCount(std::string_view option, std::string_view text, int32_t minimum, int32_t maximum)
{
	std::optional<int64_t> count;
	if (AllDigits(text))
		count = ParseInteger(text);
	if (!count || *count < minimum || *count > maximum) {
		return Error{OptionText(option, text) + ": expected a whole number from "
			+ std::to_string(minimum) + " to " + std::to_string(maximum)};
	}
	return static_cast<int32_t>(*count);
}


Result<time_t>
ParseClock(std::string_view text)
{
	std::optional<int64_t> seconds = ParseInteger(text);
	if (!seconds || *seconds == std::numeric_limits<int64_t>::min()
		|| *seconds == std::numeric_limits<int64_t>::max()
		|| *seconds < std::numeric_limits<time_t>::min()
		|| *seconds > std::numeric_limits<time_t>::max()) {
		return Error{OptionText("--clock", text)
			+ ": expected whole seconds since 1970-01-01 00:00 UTC, as in 1000000000"};
	}
	return static_cast<time_t>(*seconds);
}


Result<unsigned long>
ParseWindowId(std::string_view source, std::string_view text)
{
	std::optional<unsigned long> id = ParseWindowIdText(text);
	if (!id) {
		return Error{std::string(source) + std::string(text)
			+ ": expected an X window id, in decimal or in hex as in 0x2a00007"};
	}
	return *id;
}


// A snapshot is a PNG image: a name that asks for another kind of file would
// get bytes it does not promise.
Result<std::string>
ParseSnapshotPath(std::string_view text)
{
	if (text.empty())
		return Error{"--snapshot needs a file name, as in --snapshot frame.png"};
	if (LowerExtension(text) != "png")
		return Error{OptionText("--snapshot", text) + ": the file name must end in .png"};
	return std::string(text);
}


Result<std::string>
ParseRecordPath(std::string_view text)
{
	if (text.empty())
		return Error{"--record needs a file name, as in --record dust.mp4"};
	if (!VideoFormatOf(text)) {
		return Error{OptionText("--record", text)
			+ ": the file name must end in .mp4, .webm or .gif"};
	}
	return std::string(text);
}


bool
LooksLikeValue(std::string_view word)
{
	std::string lower;
	for (char c : word)
		lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
	for (const char* answer : {"yes", "no", "true", "false", "on", "off"}) {
		if (lower == answer)
			return true;
	}
	if (lower.empty() || lower.front() < '0' || lower.front() > '9')
		return false;
	return lower.find_first_not_of("0123456789abcdefx.") == std::string::npos;
}
