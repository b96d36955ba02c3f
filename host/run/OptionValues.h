// The values options take, read from their text: each gives the value or a
// one-line message that names the option and what it expects.
#ifndef SAVERHOST_OPTION_VALUES_H
#define SAVERHOST_OPTION_VALUES_H

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "base/Options.h"
#include "base/Result.h"
#include "base/Size.h"

// WIDTHxHEIGHT, each from 1 to kMaxViewSide.
Result<Size> ParseSize(std::string_view text);
// A count from minimum to maximum, in digits only (so that "-1" is not
// taken as "no limit"); option names it in the message.
Result<int32_t> ParseCount(std::string_view option, std::string_view text, int32_t minimum,
	int32_t maximum = kMaxFrames);
// Whole seconds since the epoch that time_t holds.
Result<time_t> ParseClock(std::string_view text);
// An X window id, in decimal or in hex after 0x, as xwininfo prints it;
// source is what gave it ("--window-id " or "XSCREENSAVER_WINDOW=").
Result<unsigned long> ParseWindowId(std::string_view source, std::string_view text);
// A file name with an extension the option writes.
Result<std::string> ParseSnapshotPath(std::string_view text);
Result<std::string> ParseRecordPath(std::string_view text);

// Words that read as an option's value rather than as an add-on's name:
// numbers, sizes and window ids (30, 1.5, 640x480, 0x2a00007), and yes, no,
// true, false, on and off.
bool LooksLikeValue(std::string_view word);

// "--size 0x0": an option and its value as the messages quote them.
std::string OptionText(std::string_view option, std::string_view value);

#endif	// SAVERHOST_OPTION_VALUES_H
