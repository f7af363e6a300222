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
    std::vector<unsigned char> bytes;
    bytes.reserve(text.size() / 4 * 3);
    uint32_t group = 0;
    int count = 0;    // sextets in the current group
    int padding = 0;  // '=' seen
    for (const char c : text) {
        const int8_t value = kTable[static_cast<unsigned char>(c)];
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
            bytes.push_back(static_cast<unsigned char>(group >> 16));
            bytes.push_back(static_cast<unsigned char>(group >> 8));
            bytes.push_back(static_cast<unsigned char>(group));
            group = 0;
            count = 0;
        }
    }
    if (count == 0) return padding == 0 ? std::optional(std::move(bytes)) : std::nullopt;
    if (count + padding != 4) return std::nullopt;
    group <<= 6 * (4 - count);
    bytes.push_back(static_cast<unsigned char>(group >> 16));
    if (count == 3) bytes.push_back(static_cast<unsigned char>(group >> 8));
    return bytes;
}

}  // namespace speclink
