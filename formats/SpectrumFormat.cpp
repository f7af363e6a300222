#include "speclink/formats/SpectrumFormat.h"

#include "speclink/formats/SpectrumNaming.h"
#include "speclink/formats/TextFields.h"

namespace speclink {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

/// Name of the root element of XML text: the first element that is not a declaration,
/// processing instruction, comment or document type.
std::string_view RootElement(std::string_view text) {
    size_t at = 0;
    while (true) {
        at = text.find('<', at);
        if (at == std::string_view::npos || at + 1 >= text.size()) return {};
        const char next = text[at + 1];
        if (next == '?' || next == '!') {
            const std::string_view close = text.substr(at, 4) == "<!--" ? "-->" : ">";
            at = text.find(close, at + 1);
            if (at == std::string_view::npos) return {};
            continue;
        }
        size_t end = at + 1;
        while (end < text.size() && !IsSpace(text[end]) && text[end] != '>' && text[end] != '/') ++end;
        std::string_view name = text.substr(at + 1, end - at - 1);
        const size_t colon = name.find(':');
        if (colon != std::string_view::npos) name.remove_prefix(colon + 1);
        return name;
    }
}

std::optional<SpectrumFormat> FromExtension(const std::string& path) {
    std::string name = FileNameOf(path);
    const auto ends_with = [&](std::string_view suffix) {
        return name.size() > suffix.size() &&
               EqualsIgnoreCase(std::string_view(name).substr(name.size() - suffix.size()), suffix);
    };
    if (ends_with(".gz")) name.resize(name.size() - 3);
    if (ends_with(".mgf")) return SpectrumFormat::kMgf;
    if (ends_with(".ms2")) return SpectrumFormat::kMs2;
    if (ends_with(".dta")) return SpectrumFormat::kDta;
    return std::nullopt;
}

std::optional<SpectrumFormat> FromFirstLine(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    std::string_view line = Trim(text.substr(0, text.find('\n')));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (EqualsIgnoreCase(line, "BEGIN IONS")) return SpectrumFormat::kMgf;
    const std::vector<std::string_view> fields = SplitFields(line);
    if (fields.empty()) return std::nullopt;
    if (fields[0] == "H" || fields[0] == "S" || fields[0] == "Z") return SpectrumFormat::kMs2;
    if (fields.size() == 2 && ParseDouble(fields[0]) && ParseDouble(fields[1])) return SpectrumFormat::kDta;
    const size_t equals = line.find('=');
    if (equals != std::string_view::npos && equals > 0 && line.find(' ') > equals) return SpectrumFormat::kMgf;
    return std::nullopt;
}

}  // namespace

std::string_view FormatName(SpectrumFormat format) {
    switch (format) {
        case SpectrumFormat::kMgf:
            return "MGF";
        case SpectrumFormat::kMzml:
            return "mzML";
        case SpectrumFormat::kMzxml:
            return "mzXML";
        case SpectrumFormat::kMs2:
            return "MS2";
        case SpectrumFormat::kDta:
            return "DTA";
    }
    return "unknown";
}

std::optional<SpectrumFormat> DetectFormat(std::string_view head, const std::string& path) {
    size_t first = 0;
    // A UTF-8 byte order mark may precede XML.
    if (head.starts_with("\xEF\xBB\xBF")) first = 3;
    while (first < head.size() && IsSpace(head[first])) ++first;
    if (first < head.size() && head[first] == '<') {
        const std::string_view root = RootElement(head.substr(first));
        if (root == "mzML" || root == "indexedmzML") return SpectrumFormat::kMzml;
        if (root == "mzXML") return SpectrumFormat::kMzxml;
        return std::nullopt;
    }
    if (const auto format = FromExtension(path)) return format;
    return FromFirstLine(head);
}

}  // namespace speclink
