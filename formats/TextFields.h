#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace speclink {

/// Strict number parsing for spectrum text files: the whole token must be a number in the C
/// locale's decimal or exponent notation (one leading '+' allowed); nothing else is accepted.
std::optional<double> ParseDouble(std::string_view token);
std::optional<int> ParseInt(std::string_view token);

/// The token without leading and trailing spaces and tabs.
std::string_view Trim(std::string_view text);

/// The tokens of a line separated by runs of spaces and tabs.
std::vector<std::string_view> SplitFields(std::string_view line);

/// The same tokens, written into `fields` as far as they fit (peak lines, without an
/// allocation per line); gives how many tokens the line has, which may be more.
size_t SplitFields(std::string_view line, std::span<std::string_view> fields);

/// A charge or list of charges as spectrum files write them: "2", "2+", "+2", "2.0+", "1-",
/// "-1", lists joined by commas or " and " ("2+ and 3+", "2,3"). Empty when not one of these.
std::optional<std::vector<int>> ParseChargeList(std::string_view text);
/// The same into `charges` (replacing what it holds, in its room); false, with `charges`
/// unspecified, when `text` is not one of these.
bool ParseChargeList(std::string_view text, std::vector<int>& charges);

/// Whether `text` equals `word` ignoring ASCII case. Inline: readers ask it of most lines.
inline bool EqualsIgnoreCase(std::string_view text, std::string_view word) {
    if (text.size() != word.size()) return false;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (size_t i = 0; i < text.size(); ++i) {
        if (lower(text[i]) != lower(word[i])) return false;
    }
    return true;
}

}  // namespace speclink
