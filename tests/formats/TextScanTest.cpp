// The MGF readers' scans against plain byte-by-byte loops: where the cutter's one-pass scan
// stops and how many line ends it passed, over random text and over runs of lines long
// enough to fill its byte counters many times; where a line ends or binary data begins.

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <cstddef>
#include <string>

#include "speclink/formats/TextScan.h"

namespace speclink {
namespace {

void ExpectAsPlainLoop(const std::string& text, std::size_t from) {
    std::size_t expected_lines = 0;
    std::size_t stop = from;
    for (; stop < text.size() && text[stop] != 'n' && text[stop] != 'N' && text[stop] != '\0'; ++stop) {
        if (text[stop] == '\n') ++expected_lines;
    }
    std::size_t lines = 7;
    const char* found = FindLetterNOrNul(text.data() + from, text.data() + text.size(), lines);
    RC_ASSERT(static_cast<std::size_t>(found - text.data()) == stop);
    RC_ASSERT(lines == 7 + expected_lines);
}

// Runs of text without a stop, long enough at times to fill the byte counters, before text
// with stops.
RC_GTEST_PROP(FindLetterNOrNul, StopsAndCountsAsAPlainLoop, ()) {
    const auto bytes = *rc::gen::container<std::string>(rc::gen::element('a', 'n', 'N', '\n', '\0', 'x', ' ', '\xee'));
    std::string run = bytes;
    for (char& c : run) c = c == 'n' || c == 'N' || c == '\0' ? 'b' : c;
    std::string text;
    for (int k = *rc::gen::inRange(0, 300); k > 0; --k) text += run;
    text += bytes;
    ExpectAsPlainLoop(text, *rc::gen::inRange<std::size_t>(0, text.size() + 1));
}

TEST(FindLetterNOrNul, CountsPastManyFullCounters) {
    for (const char stop : {'n', 'N', '\0'}) {
        // The stop lies inside a 16-byte step, with text after it.
        const std::string text = std::string(100000, '\n') + "ab\nc" + stop + std::string(40, 'x');
        std::size_t lines = 0;
        EXPECT_EQ(FindLetterNOrNul(text.data(), text.data() + text.size(), lines), text.data() + 100004);
        EXPECT_EQ(lines, 100001u);
    }
    std::size_t lines = 0;
    const std::string plain(5000, '\n');
    EXPECT_EQ(FindLetterNOrNul(plain.data(), plain.data() + plain.size(), lines), plain.data() + plain.size());
    EXPECT_EQ(lines, 5000u);
}

// FindLineEndOrNul against a plain loop, with the readable bytes ending at the text, or
// running on past it (lines of any length, the stop before, inside or after a 16-byte step).
RC_GTEST_PROP(FindLineEndOrNul, StopsWhereAPlainLoopStops, ()) {
    const auto text = *rc::gen::container<std::string>(rc::gen::element('a', '\n', '\0', ' ', '\xee'));
    const std::size_t from = *rc::gen::inRange<std::size_t>(0, text.size() + 1);
    const std::size_t to = *rc::gen::inRange<std::size_t>(from, text.size() + 1);
    std::size_t stop = from;
    while (stop < to && text[stop] != '\n' && text[stop] != '\0') ++stop;
    const char* const expected = stop < to ? text.data() + stop : nullptr;
    const std::string padded = text + std::string(32, '\n');
    RC_ASSERT(FindLineEndOrNul(text.data() + from, text.data() + to, text.data() + text.size()) == expected);
    const char* const found =
        FindLineEndOrNul(padded.data() + from, padded.data() + to, padded.data() + padded.size());
    RC_ASSERT(found == (expected != nullptr ? padded.data() + stop : nullptr));
}

}  // namespace
}  // namespace speclink
