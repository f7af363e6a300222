// The MGF cutter's one-pass scan against a plain byte-by-byte loop: where it stops and how
// many line ends it passed, over random text and over runs of lines long enough to fill its
// byte counters many times.

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

}  // namespace
}  // namespace speclink
