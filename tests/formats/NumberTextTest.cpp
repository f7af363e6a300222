// The fast number paths of the text readers give exactly what the standard parser gives, and
// refuse what it refuses: random tokens and peak lines, compared with std::from_chars.

#include <gtest/gtest.h>

#include <charconv>
#include <optional>
#include <random>
#include <string>

#include "speclink/formats/PeakLineText.h"
#include "speclink/formats/ShortDecimal.h"
#include "speclink/formats/TextFields.h"

namespace speclink::test {
namespace {

// The whole token as std::from_chars reads it, one leading '+' allowed.
std::optional<double> Reference(std::string_view token) {
    if (token.size() > 1 && token.front() == '+' && token[1] != '-') token.remove_prefix(1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (token.empty() || error != std::errc() || end != token.data() + token.size()) return std::nullopt;
    return value;
}

// Tokens near the forms files write: digits with a dot somewhere, sometimes an exponent, a
// sign, a stray character, many digits, or digits that round to a tie.
std::string RandomToken(std::mt19937_64& random) {
    static const std::string kOdd = "+-eE.x";
    std::string token;
    const int digits = 1 + static_cast<int>(random() % (random() % 4 == 0 ? 24 : 10));
    const int dot = static_cast<int>(random() % static_cast<uint64_t>(digits + 2)) - 1;
    for (int d = 0; d < digits; ++d) {
        if (d == dot) token += '.';
        token += static_cast<char>('0' + random() % 10);
    }
    if (dot == digits) token += '.';
    switch (random() % 12) {
        case 0: token += "e" + std::to_string(static_cast<int>(random() % 700) - 350); break;
        case 1: token.insert(token.begin(), '-'); break;
        case 2: token.insert(token.begin(), '+'); break;
        case 3: token.insert(random() % (token.size() + 1), 1, kOdd[random() % kOdd.size()]); break;
        default: break;
    }
    return token;
}

TEST(NumberText, ParseDoubleAgreesWithTheStandardParser) {
    std::mt19937_64 random(3);
    for (int k = 0; k < 200000; ++k) {
        const std::string token = RandomToken(random);
        const std::optional<double> expected = Reference(token);
        const std::optional<double> actual = ParseDouble(token);
        ASSERT_EQ(actual.has_value(), expected.has_value()) << token;
        if (expected && !std::isnan(*expected)) {
            ASSERT_EQ(*actual, *expected) << token;
        }
    }
    for (const char* token : {"nan", "inf", "-inf", "1e400", "1e-400", "4.9e-324", "0", "-0", "++1", "+-1", ""}) {
        const std::optional<double> expected = Reference(token);
        ASSERT_EQ(ParseDouble(token).has_value(), expected.has_value()) << token;
    }
}

TEST(NumberText, ShortDecimalsAreTheStandardParsersDoubles) {
    std::mt19937_64 random(4);
    std::size_t taken = 0;
    for (int k = 0; k < 200000; ++k) {
        // Padded, so that eight bytes may be read past any position; every other token read
        // one digit at a time.
        const std::string token = RandomToken(random);
        const std::string text = token + std::string(kPeakLineReadable, ' ');
        const char* const end = text.data() + token.size();
        const char* const readable = k % 2 == 0 ? text.data() + text.size() : end;
        double value = -1.0;
        const char* const after = ReadShortDecimal(text.data(), end, readable, value);
        if (after == nullptr) continue;
        ++taken;
        const std::optional<double> expected = Reference(std::string_view(text.data(), after - text.data()));
        ASSERT_TRUE(expected.has_value()) << token;
        ASSERT_EQ(value, *expected) << token;
        ASSERT_TRUE(std::isnormal(value)) << token;
    }
    EXPECT_GT(taken, 50000u);
}

TEST(NumberText, PeakLinesAreReadAsTheirTwoTokens) {
    std::mt19937_64 random(5);
    static const std::string kGaps[] = {" ", "\t", "  ", " \t "};
    static const std::string kEnds[] = {"\n", "\r\n", " \n", "\t\r\n", "\r \n", " 2+\n", "x\n"};
    std::size_t taken = 0;
    for (int k = 0; k < 200000; ++k) {
        const std::string mz = RandomToken(random);
        const std::string intensity = RandomToken(random);
        const std::string line = (random() % 20 == 0 ? " " : "") + mz + kGaps[random() % 4] + intensity +
                                 kEnds[random() % 7];
        const std::string text = line + std::string(kPeakLineReadable, '\n');
        double read_mz = -1.0;
        double read_intensity = -1.0;
        const char* const next = ReadPeakLine(text.data(), read_mz, read_intensity);
        if (next == nullptr) continue;
        ++taken;
        // Taken lines are whole lines of two tokens, blanks and at most a final '\r'.
        ASSERT_EQ(next, text.data() + line.size()) << line;
        const std::optional<double> expected_mz = Reference(mz);
        const std::optional<double> expected_intensity = Reference(intensity);
        ASSERT_TRUE(expected_mz && expected_intensity) << line;
        ASSERT_EQ(read_mz, *expected_mz) << line;
        ASSERT_EQ(read_intensity, *expected_intensity) << line;
        ASSERT_TRUE(std::isnormal(read_mz) && std::isnormal(read_intensity) && read_mz > 0 && read_intensity > 0)
            << line;
        ASSERT_TRUE(line.find('x') == std::string::npos && line.find('+') == std::string::npos &&
                    line.find("\r ") == std::string::npos)
            << line;
    }
    EXPECT_GT(taken, 10000u);
}

}  // namespace
}  // namespace speclink::test
