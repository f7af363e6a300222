#include "speclink/formats/TextFields.h"

#include <fast_float/fast_float.h>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace speclink {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view WithoutPlus(std::string_view token) {
    if (token.size() > 1 && token.front() == '+' && token[1] != '-') token.remove_prefix(1);
    return token;
}

}  // namespace

namespace {

// A whole number or a floating-point number filling all of `token` (a leading '+' allowed).
template <typename Number>
std::optional<Number> ParseNumber(std::string_view token) {
    token = WithoutPlus(token);
    Number value{};
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (token.empty() || error != std::errc() || end != token.data() + token.size()) return std::nullopt;
    return value;
}

// Calls `take` with each token of `line`, in order.
template <typename Take>
void ForEachField(std::string_view line, Take take) {
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        const size_t start = i;
        while (i < line.size() && !IsBlank(line[i])) ++i;
        if (i > start) take(line.substr(start, i - start));
    }
}

}  // namespace

std::optional<double> ParseDouble(std::string_view token) {
    const std::string_view digits = WithoutPlus(token);
    double value = 0.0;
    const auto [end, error] = fast_float::from_chars(digits.data(), digits.data() + digits.size(), value);
    // Both parsers round correctly, so they agree on every normal number. Zeros, subnormals,
    // infinities, NaN and malformed text go to the standard parser, whose range errors
    // decide what is refused.
    if (error == std::errc() && end == digits.data() + digits.size() && std::isnormal(value)) return value;
    return ParseNumber<double>(token);
}

std::optional<int> ParseInt(std::string_view token) { return ParseNumber<int>(token); }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    ForEachField(line, [&fields](std::string_view field) { fields.push_back(field); });
    return fields;
}

size_t SplitFields(std::string_view line, std::span<std::string_view> fields) {
    size_t count = 0;
    ForEachField(line, [&](std::string_view field) {
        if (count < fields.size()) fields[count] = field;
        ++count;
    });
    return count;
}

namespace {

std::optional<int> ParseCharge(std::string_view token) {
    token = Trim(token);
    int sign = 1;
    if (!token.empty() && (token.back() == '+' || token.back() == '-')) {
        sign = token.back() == '-' ? -1 : 1;
        token.remove_suffix(1);
    } else if (!token.empty() && (token.front() == '+' || token.front() == '-')) {
        sign = token.front() == '-' ? -1 : 1;
        token.remove_prefix(1);
    }
    if (token.ends_with(".0")) token.remove_suffix(2);
    if (token.empty() || token.front() < '0' || token.front() > '9') return std::nullopt;
    const std::optional<int> value = ParseInt(token);
    if (!value) return std::nullopt;
    return sign * *value;
}

}  // namespace

bool ParseChargeList(std::string_view text, std::vector<int>& charges) {
    charges.clear();
    while (true) {
        const size_t comma = text.find(',');
        const size_t word = text.find(" and ");
        const size_t end = std::min(comma, word);
        const std::optional<int> charge = ParseCharge(text.substr(0, end));
        if (!charge) return false;
        charges.push_back(*charge);
        if (end == std::string_view::npos) return true;
        text.remove_prefix(end + (end == comma ? 1 : 5));
    }
}

std::optional<std::vector<int>> ParseChargeList(std::string_view text) {
    std::vector<int> charges;
    if (!ParseChargeList(text, charges)) return std::nullopt;
    return charges;
}


}  // namespace speclink
