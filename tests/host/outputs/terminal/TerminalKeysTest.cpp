// Keys at the terminal: which ask the saver to stop, and Esc told apart from
// the sequences that begin with it.
#include <gtest/gtest.h>

#include <string>

#include "outputs/terminal/TerminalKeys.h"

namespace {

using Clock = KeyReader::Clock;
using std::chrono::milliseconds;

const Clock::time_point kStart{};


bool
Feed(KeyReader& keys, const std::string& bytes, Clock::time_point at = kStart)
{
	return keys.Feed(bytes.data(), bytes.size(), at);
}

}	// namespace


TEST(KeyReader, QuitKeysStopAtOnceOthersNever)
{
	for (std::string key : {"q", "Q", "\x03", "abc q"}) {
		KeyReader keys;
		EXPECT_TRUE(Feed(keys, key)) << key;
	}
	KeyReader keys;
	EXPECT_FALSE(Feed(keys, "a w\r\n\x04 "));
	EXPECT_FALSE(keys.Expire(kStart + milliseconds(1000)));
	EXPECT_FALSE(keys.Deadline());
}


TEST(KeyReader, LoneEscStopsOnlyOnceNothingFollowsIt)
{
	KeyReader keys;
	EXPECT_FALSE(Feed(keys, "\x1b"));
	ASSERT_TRUE(keys.Deadline());
	EXPECT_EQ(*keys.Deadline(), kStart + KeyReader::kLoneEscape);
	EXPECT_FALSE(keys.Expire(kStart + KeyReader::kLoneEscape - milliseconds(1)));
	EXPECT_TRUE(keys.Expire(kStart + KeyReader::kLoneEscape));

	// Two Esc in a row: the first one stood alone.
	KeyReader twice;
	EXPECT_TRUE(Feed(twice, "\x1b\x1b"));
}


TEST(KeyReader, SequencesThatBeginWithEscAreNoQuit)
{
	// Arrows in both cursor modes, a function key with parameters, Alt-q,
	// and an arrow whose bytes arrive in two reads.
	for (std::string sequence : {"\x1b[A", "\x1bOB", "\x1b[15;5~", "\x1bq", "\x1b[1;2D"}) {
		KeyReader keys;
		EXPECT_FALSE(Feed(keys, sequence)) << sequence.substr(1);
		EXPECT_FALSE(keys.Expire(kStart + milliseconds(1000))) << sequence.substr(1);
	}
	KeyReader split;
	EXPECT_FALSE(Feed(split, "\x1b", kStart));
	EXPECT_FALSE(Feed(split, "[C", kStart + milliseconds(5)));
	EXPECT_FALSE(split.Expire(kStart + milliseconds(1000)));

	// A quit key right after a sequence still counts, and so does Ctrl-C in
	// the middle of one.
	KeyReader after;
	EXPECT_TRUE(Feed(after, "\x1b[Aq"));
	KeyReader cut;
	EXPECT_TRUE(Feed(cut, "\x1b[1;\x03"));

	// A sequence that never finishes is dropped without a quit.
	KeyReader unfinished;
	EXPECT_FALSE(Feed(unfinished, "\x1b[12"));
	EXPECT_FALSE(unfinished.Expire(kStart + milliseconds(1000)));
	EXPECT_FALSE(Feed(unfinished, "A"));
}
