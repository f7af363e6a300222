#include "speclink/formats/MgfSpectrumParser.h"

#include <fast_float/fast_float.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>

#include "speclink/formats/LineInput.h"
#include "speclink/formats/PeakLineText.h"
#include "speclink/formats/ShortDecimal.h"
#include "speclink/formats/SpectrumNaming.h"
#include "speclink/formats/TextFields.h"
#include "speclink/formats/TextScan.h"

namespace speclink {
namespace {

bool StartsPeak(std::string_view line) {
    const char c = line.front();
    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+';
}

/// The error of a CHARGE value that is neither one charge nor a list, at `line` of `path`.
FormatError NotACharge(std::string_view value, const std::string& path, uint64_t line) {
    return FormatError::AtLine(
        path, line, "expected a charge such as 2+ or a list such as '2+ and 3+', found '" + std::string(value) + "'");
}

/// The key of a KEY=value line, or empty when the line is not one.
std::string_view KeyOf(std::string_view line) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos || equals == 0) return {};
    for (const char c : line.substr(0, equals)) {
        const bool word = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!word) return {};
    }
    return line.substr(0, equals);
}

bool IsBlankChar(char c) { return c == ' ' || c == '\t'; }

void SkipBlanks(const char*& p, const char* end) {
    while (p != end && IsBlankChar(*p)) ++p;
}

}  // namespace

bool IsMgfComment(std::string_view line) {
    const char c = line.front();
    return c == '#' || c == ';' || c == '!' || c == '/';
}

MgfHeaderLine TakeMgfHeaderLine(std::string_view line, const std::string& path, uint64_t line_number,
                                std::vector<int>& default_charges) {
    if (EqualsIgnoreCase(line, "BEGIN IONS")) return MgfHeaderLine::kBeginIons;
    if (EqualsIgnoreCase(line, "END IONS")) {
        throw FormatError::AtLine(path, line_number, "'END IONS' without 'BEGIN IONS'");
    }
    const std::string_view key = KeyOf(line);
    if (key.empty()) throw FormatError::AtLine(path, line_number, "expected 'BEGIN IONS' or a KEY=value header line");
    if (!EqualsIgnoreCase(key, "CHARGE")) return MgfHeaderLine::kOther;
    const std::string_view value = line.substr(key.size() + 1);
    if (!ParseChargeList(value, default_charges)) throw NotACharge(value, path, line_number);
    return MgfHeaderLine::kCharge;
}

size_t MgfSpectrumStartAfter(std::string_view text, size_t offset, size_t limit) {
    if (offset == 0) return 0;
    limit = std::min(limit, text.size());
    if (offset >= limit) return limit;
    size_t at = offset;
    if (text[at - 1] != '\n') {
        const size_t newline = text.substr(0, limit).find('\n', at);
        if (newline == std::string_view::npos) return limit;
        at = newline + 1;
    }
    while (at < limit) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (EqualsIgnoreCase(Trim(line), "BEGIN IONS")) return at;
        at = end + 1;
    }
    return limit;
}

MgfSpectrumParser::MgfSpectrumParser(const std::string& path, uint64_t begin_line, int index,
                                     const std::vector<int>& default_charges, MgfScratch& scratch)
    : path_(path),
      line_number_(begin_line),
      index_(index),
      default_charges_(default_charges),
      spectrum_(scratch.spectrum),
      peaks_(scratch.peaks) {
    peaks_.clear();
    std::vector<int> charges = std::move(spectrum_.charges);
    charges.clear();
    spectrum_ = SourceSpectrum{};
    spectrum_.charges = std::move(charges);
}

bool MgfSpectrumParser::Line(std::string_view raw) {
    ++line_number_;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    if (!raw.empty() && raw.front() >= '0' && raw.front() <= '9' && FastPeakLine(raw)) return false;
    const std::string_view line = Trim(raw);
    if (line.empty() || IsMgfComment(line)) return false;
    if (EqualsIgnoreCase(line, "END IONS")) return true;
    SpectrumLine(line);
    return false;
}

SourceSpectrum& MgfSpectrumParser::Finish() {
    if (!has_pepmass_) throw Error("expected a PEPMASS line before 'END IONS'");
    if (!has_charge_) spectrum_.charges = default_charges_;
    spectrum_.peaks.assign(peaks_.begin(), peaks_.end());
    if (scans_) {
        spectrum_.scan = *scans_;
    } else {
        const std::optional<int> titled = ScanFromTitle(spectrum_.title);
        positional_scan_ = !titled;
        spectrum_.scan = titled.value_or(index_);
    }
    return spectrum_;
}

const char* MgfSpectrumParser::Lines(std::string_view lines, const char* readable_end) {
    const char* p = lines.data();
    const char* const end = p + lines.size();
    readable_end_ = readable_end;
    while (p != end) {
        if (*p >= '0' && *p <= '9' && readable_end - p >= kPeakLineReadable) {
            double mz = 0.0;
            double intensity = 0.0;
            if (const char* const next = ReadPeakLine(p, mz, intensity); next != nullptr && next <= end) {
                ++line_number_;
                peaks_.push_back({mz, intensity});
                p = next;
                continue;
            }
        }
        const char* const found = FindLineEndOrNul(p, end, readable_end);
        if (found != nullptr && *found == '\0') {
            ++line_number_;
            throw Error("binary data (NUL byte) in a text file");
        }
        const char* const newline = found != nullptr ? found : end;
        if (static_cast<size_t>(newline - p) > LineInput::kDefaultMaxLineLength) {
            ++line_number_;
            throw Error("line longer than " + std::to_string(LineInput::kDefaultMaxLineLength) + " bytes");
        }
        const bool ended = Line(std::string_view(p, static_cast<size_t>(newline - p)));
        p = found != nullptr ? newline + 1 : end;
        if (ended) return p;
    }
    return nullptr;
}

FormatError MgfSpectrumParser::Error(const std::string& message) const {
    return FormatError::AtLine(path_, line_number_, message);
}

// Peak lines the general path meets first: "m/z intensity" with both numbers normal and
// positive, and at most a fragment charge after them. Takes such a line and gives true;
// anything else, including a line that may be an error, is left to the rest of the general
// path.
bool MgfSpectrumParser::FastPeakLine(std::string_view line) {
    const char* p = line.data();
    const char* const end = p + line.size();
    double mz = 0.0;
    double intensity = 0.0;
    if (!FastNumber(p, end, mz) || p == end) return false;
    SkipBlanks(p, end);
    if (p == end || *p == '+' || !FastNumber(p, end, intensity)) return false;
    SkipBlanks(p, end);
    if (p != end) {
        const char* const charge = p;
        while (p != end && !IsBlankChar(*p)) ++p;
        const char* const charge_end = p;
        SkipBlanks(p, end);
        if (p != end || !ParseChargeList(std::string_view(charge, static_cast<size_t>(charge_end - charge)))) {
            return false;
        }
    }
    if (!(mz > 0.0) || !(intensity > 0.0)) return false;
    peaks_.push_back({mz, intensity});
    return true;
}

// A normal number ending at a blank or the line end, as ParseDouble reads it.
bool MgfSpectrumParser::FastNumber(const char*& p, const char* end, double& value) const {
    if (const char* const after = ReadShortDecimal(p, end, readable_end_, value)) {
        if (after == end || IsBlankChar(*after)) {
            p = after;
            return true;
        }
    }
    const auto [after, error] = fast_float::from_chars(p, end, value);
    if (error != std::errc() || (after != end && !IsBlankChar(*after)) || !std::isnormal(value)) return false;
    p = after;
    return true;
}

void MgfSpectrumParser::SpectrumLine(std::string_view line) {
    if (EqualsIgnoreCase(line, "BEGIN IONS")) throw Error("expected 'END IONS' before 'BEGIN IONS'");
    const std::string_view key = KeyOf(line);
    if (!key.empty()) {
        Parameter(key, Trim(line.substr(key.size() + 1)));
    } else if (StartsPeak(line) || ParseDouble(SplitFields(line).front())) {
        PeakLine(line);
    } else {
        throw Error("expected a peak line 'm/z intensity', a KEY=value line or 'END IONS'");
    }
}

void MgfSpectrumParser::PeakLine(std::string_view line) {
    std::array<std::string_view, 3> fields;
    const size_t count = SplitFields(line, fields);
    if (count < 2 || count > 3) throw Error("expected a peak line 'm/z intensity'");
    const std::optional<double> mz = ParseDouble(fields[0]);
    const std::optional<double> intensity = ParseDouble(fields[1]);
    if (!mz) throw Error("expected a number for the peak m/z, found '" + std::string(fields[0]) + "'");
    if (!intensity) throw Error("expected a number for the peak intensity, found '" + std::string(fields[1]) + "'");
    if (!std::isfinite(*mz) || *mz <= 0.0) throw Error("peak m/z must be a positive finite number");
    if (!std::isfinite(*intensity) || *intensity < 0.0) {
        throw Error("peak intensity must be a finite number of at least 0");
    }
    if (count == 3 && !ParseChargeList(fields[2])) {
        throw Error("expected a fragment charge in the third column, found '" + std::string(fields[2]) + "'");
    }
    peaks_.push_back({*mz, *intensity});
}

void MgfSpectrumParser::Parameter(std::string_view key, std::string_view value) {
    if (EqualsIgnoreCase(key, "PEPMASS")) {
        std::array<std::string_view, 2> fields;
        const size_t count = SplitFields(value, fields);
        if (count == 0 || count > 2) throw Error("expected PEPMASS=m/z or PEPMASS=m/z intensity");
        const std::optional<double> mz = ParseDouble(fields[0]);
        if (!mz || !std::isfinite(*mz) || *mz <= 0.0) throw Error("PEPMASS must be a positive finite m/z");
        spectrum_.precursor_mz = *mz;
        if (count == 2) {
            const std::optional<double> intensity = ParseDouble(fields[1]);
            if (!intensity || !std::isfinite(*intensity)) {
                throw Error("expected a precursor intensity after the PEPMASS m/z");
            }
            spectrum_.precursor_intensity = *intensity;
        }
        has_pepmass_ = true;
    } else if (EqualsIgnoreCase(key, "CHARGE")) {
        if (!ParseChargeList(value, spectrum_.charges)) throw NotACharge(value, path_, line_number_);
        has_charge_ = true;
    } else if (EqualsIgnoreCase(key, "TITLE")) {
        spectrum_.title = std::string(value);
        spectrum_.native_id = spectrum_.title;
    } else if (EqualsIgnoreCase(key, "RTINSECONDS")) {
        const size_t dash = value.find('-', 1);
        const std::optional<double> seconds = ParseDouble(Trim(value.substr(0, dash)));
        if (!seconds || !std::isfinite(*seconds)) throw Error("expected RTINSECONDS=seconds");
        spectrum_.retention_time = *seconds;
    } else if (EqualsIgnoreCase(key, "SCANS")) {
        const std::string_view first = value.substr(0, value.find_first_of("-,"));
        scans_ = ParseInt(Trim(first));
        if (!scans_) throw Error("expected SCANS=number");
    } else if (EqualsIgnoreCase(key, "SEQ")) {
        spectrum_.peptide = std::string(value);
    } else if (EqualsIgnoreCase(key, "MSLEVEL")) {
        const std::optional<int> level = ParseInt(value);
        if (!level) throw Error("expected MSLEVEL=number");
        spectrum_.ms_level = *level;
    }
}

}  // namespace speclink
