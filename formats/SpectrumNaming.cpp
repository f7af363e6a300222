#include "speclink/formats/SpectrumNaming.h"

#include <array>
#include <charconv>
#include <vector>

#include "speclink/formats/TextFields.h"

namespace speclink {
namespace {

bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix) {
    return text.size() > suffix.size() && EqualsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

bool IsAlphanumeric(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

std::vector<std::string_view> SplitDots(std::string_view text) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        const size_t dot = text.find('.', start);
        parts.push_back(text.substr(start, dot - start));
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    return parts;
}

}  // namespace

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string InputBaseName(const std::string& path) {
    static constexpr std::array<std::string_view, 7> kExtensions = {".gz",  ".mgf", ".mzml", ".mzxml",
                                                                    ".ms2", ".dta", ".xml"};
    std::string name = FileNameOf(path);
    bool stripped = true;
    while (stripped) {
        stripped = false;
        for (const std::string_view extension : kExtensions) {
            if (EndsWithIgnoreCase(name, extension)) {
                name.resize(name.size() - extension.size());
                stripped = true;
            }
        }
    }
    return name;
}

std::string RecordFileName(const std::string& base, int scan, int charge) {
    // Built in one allocation: every record read is named.
    std::array<char, 16> scan_text;
    std::array<char, 16> charge_text;
    const auto text = [](std::array<char, 16>& buffer, int value) {
        return std::string_view(buffer.data(), std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr);
    };
    const std::string_view scan_view = text(scan_text, scan);
    const std::string_view charge_view = text(charge_text, charge);
    std::string name;
    name.reserve(base.size() + 2 * scan_view.size() + charge_view.size() + 7);
    name.append(base).append(".").append(scan_view).append(".").append(scan_view);
    name.append(".").append(charge_view).append(".dta");
    return name;
}

std::optional<int> ScanFromNativeId(std::string_view id) {
    static constexpr std::array<std::string_view, 4> kKeys = {"scan=", "scanId=", "spectrum=", "index="};
    for (const std::string_view key : kKeys) {
        for (size_t at = id.find(key); at != std::string_view::npos; at = id.find(key, at + 1)) {
            if (at > 0 && IsAlphanumeric(id[at - 1])) continue;
            size_t end = at + key.size();
            while (end < id.size() && id[end] >= '0' && id[end] <= '9') ++end;
            if (const auto scan = ParseInt(id.substr(at + key.size(), end - at - key.size()))) return scan;
        }
    }
    return std::nullopt;
}

std::optional<int> ScanFromTitle(std::string_view title) {
    if (const auto scan = ScanFromNativeId(title)) return scan;
    std::string_view name = title.substr(0, title.find(' '));
    if (EndsWithIgnoreCase(name, ".dta")) name.remove_suffix(4);
    const std::vector<std::string_view> parts = SplitDots(name);
    const size_t n = parts.size();
    if (n >= 4 && AllDigits(parts[n - 3]) && AllDigits(parts[n - 2]) && AllDigits(parts[n - 1])) {
        return ParseInt(parts[n - 3]);
    }
    return std::nullopt;
}

}  // namespace speclink
