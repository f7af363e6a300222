#include "speclink/formats/Base64.h"

#include <array>
#include <cstdint>

namespace speclink {
namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int8_t kInvalid = -1;
constexpr int8_t kSpace = -2;
constexpr int8_t kPad = -3;

constexpr std::array<int8_t, 256> MakeTable() {
    std::array<int8_t, 256> table{};
    for (auto& entry : table) entry = kInvalid;
    for (size_t i = 0; i < kAlphabet.size(); ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
    table[' '] = table['\t'] = table['\n'] = table['\r'] = kSpace;
    table['='] = kPad;
    return table;
}

constexpr std::array<int8_t, 256> kTable = MakeTable();

}  // namespace

std::string EncodeBase64(const std::vector<unsigned char>& bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t group = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        text += kAlphabet[(group >> 18) & 63];
        text += kAlphabet[(group >> 12) & 63];
        text += kAlphabet[(group >> 6) & 63];
        text += kAlphabet[group & 63];
    }
    const size_t rest = bytes.size() - i;
    if (rest > 0) {
        const uint32_t group = (uint32_t{bytes[i]} << 16) | (rest == 2 ? uint32_t{bytes[i + 1]} << 8 : 0);
        text += kAlphabet[(group >> 18) & 63];
        text += kAlphabet[(group >> 12) & 63];
        text += rest == 2 ? kAlphabet[(group >> 6) & 63] : '=';
        text += '=';
    }
    return text;
}

std::optional<std::vector<unsigned char>> DecodeBase64(std::string_view text) {
    // Room for every group the text may hold; cut to what it holds at the end.
    std::vector<unsigned char> bytes(text.size() / 4 * 3 + 3);
    unsigned char* out = bytes.data();
    const char* p = text.data();
    const char* const end = p + text.size();
    const auto value_of = [](char c) { return static_cast<int32_t>(kTable[static_cast<unsigned char>(c)]); };
    uint32_t group = 0;
    int count = 0;    // sextets in the current group
    int padding = 0;  // '=' seen
    while (p != end) {
        if (count == 0 && padding == 0) {
            // Whole groups of four characters of the alphabet, nearly all of an array, four
            // at a time; anything else one character at a time below.
            while (end - p >= 4) {
                const int32_t a = value_of(p[0]);
                const int32_t b = value_of(p[1]);
                const int32_t c = value_of(p[2]);
                const int32_t d = value_of(p[3]);
                if ((a | b | c | d) < 0) break;
                const auto whole = static_cast<uint32_t>((a << 18) | (b << 12) | (c << 6) | d);
                out[0] = static_cast<unsigned char>(whole >> 16);
                out[1] = static_cast<unsigned char>(whole >> 8);
                out[2] = static_cast<unsigned char>(whole);
                out += 3;
                p += 4;
            }
            if (p == end) break;
        }
        const int8_t value = kTable[static_cast<unsigned char>(*p++)];
        if (value == kSpace) continue;
        if (value == kInvalid) return std::nullopt;
        if (value == kPad) {
            ++padding;
            if (count + padding > 4 || count < 2) return std::nullopt;
            continue;
        }
        if (padding > 0) return std::nullopt;
        group = (group << 6) | static_cast<uint32_t>(value);
        if (++count == 4) {
            out[0] = static_cast<unsigned char>(group >> 16);
            out[1] = static_cast<unsigned char>(group >> 8);
            out[2] = static_cast<unsigned char>(group);
            out += 3;
            group = 0;
            count = 0;
        }
    }
    if (count == 0) {
        if (padding != 0) return std::nullopt;
    } else {
        if (count + padding != 4) return std::nullopt;
        group <<= 6 * (4 - count);
        *out++ = static_cast<unsigned char>(group >> 16);
        if (count == 3) *out++ = static_cast<unsigned char>(group >> 8);
    }
    bytes.resize(static_cast<std::size_t>(out - bytes.data()));
    return bytes;
}

}  // namespace speclink
