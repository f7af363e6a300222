#include "formats/MgfReader.h"

#include <cmath>
#include <optional>
#include <string>

#include "formats/FormatError.h"
#include "formats/LineInput.h"
#include "formats/SpectrumNaming.h"
#include "formats/TextFields.h"

namespace speclink {
namespace {

bool IsComment(std::string_view line) {
    const char c = line.front();
    return c == '#' || c == ';' || c == '!' || c == '/';
}

bool StartsPeak(std::string_view line) {
    const char c = line.front();
    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+';
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

class MgfParser {
public:
    MgfParser(ByteInput& input, RecordEmitter& emitter) : lines_(input), emitter_(emitter) {}

    void Run() {
        std::string_view raw;
        while (lines_.Next(raw)) {
            const std::string_view line = Trim(raw);
            if (line.empty() || IsComment(line)) continue;
            if (in_spectrum_) {
                SpectrumLine(line);
            } else {
                HeaderLine(line);
            }
        }
        if (in_spectrum_) throw Error("expected 'END IONS' before end of file");
    }

private:
    FormatError Error(const std::string& message) const {
        return FormatError::AtLine(lines_.path(), lines_.line_number(), message);
    }

    void HeaderLine(std::string_view line) {
        if (EqualsIgnoreCase(line, "BEGIN IONS")) {
            in_spectrum_ = true;
            spectrum_ = SourceSpectrum{};
            scans_.reset();
            has_pepmass_ = false;
            has_charge_ = false;
            ++index_;
            return;
        }
        if (EqualsIgnoreCase(line, "END IONS")) throw Error("'END IONS' without 'BEGIN IONS'");
        const std::string_view key = KeyOf(line);
        if (key.empty()) throw Error("expected 'BEGIN IONS' or a KEY=value header line");
        if (EqualsIgnoreCase(key, "CHARGE")) default_charges_ = Charges(line.substr(key.size() + 1));
    }

    void SpectrumLine(std::string_view line) {
        if (EqualsIgnoreCase(line, "END IONS")) {
            EndSpectrum();
            return;
        }
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

    void PeakLine(std::string_view line) {
        const std::vector<std::string_view> fields = SplitFields(line);
        if (fields.size() < 2 || fields.size() > 3) throw Error("expected a peak line 'm/z intensity'");
        const std::optional<double> mz = ParseDouble(fields[0]);
        const std::optional<double> intensity = ParseDouble(fields[1]);
        if (!mz) throw Error("expected a number for the peak m/z, found '" + std::string(fields[0]) + "'");
        if (!intensity) throw Error("expected a number for the peak intensity, found '" + std::string(fields[1]) + "'");
        if (!std::isfinite(*mz) || *mz <= 0.0) throw Error("peak m/z must be a positive finite number");
        if (!std::isfinite(*intensity) || *intensity < 0.0) {
            throw Error("peak intensity must be a finite number of at least 0");
        }
        if (fields.size() == 3 && !ParseChargeList(fields[2])) {
            throw Error("expected a fragment charge in the third column, found '" + std::string(fields[2]) + "'");
        }
        spectrum_.peaks.push_back({*mz, *intensity});
    }

    void Parameter(std::string_view key, std::string_view value) {
        if (EqualsIgnoreCase(key, "PEPMASS")) {
            const std::vector<std::string_view> fields = SplitFields(value);
            if (fields.empty() || fields.size() > 2) throw Error("expected PEPMASS=m/z or PEPMASS=m/z intensity");
            const std::optional<double> mz = ParseDouble(fields[0]);
            if (!mz || !std::isfinite(*mz) || *mz <= 0.0) throw Error("PEPMASS must be a positive finite m/z");
            spectrum_.precursor_mz = *mz;
            if (fields.size() == 2) {
                const std::optional<double> intensity = ParseDouble(fields[1]);
                if (!intensity || !std::isfinite(*intensity))
                    throw Error("expected a precursor intensity after the PEPMASS m/z");
                spectrum_.precursor_intensity = *intensity;
            }
            has_pepmass_ = true;
        } else if (EqualsIgnoreCase(key, "CHARGE")) {
            spectrum_.charges = Charges(value);
            has_charge_ = true;
        } else if (EqualsIgnoreCase(key, "TITLE")) {
            spectrum_.title = std::string(value);
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

    std::vector<int> Charges(std::string_view value) const {
        const std::optional<std::vector<int>> charges = ParseChargeList(value);
        if (!charges)
            throw Error("expected a charge such as 2+ or a list such as '2+ and 3+', found '" + std::string(value) +
                        "'");
        return *charges;
    }

    void EndSpectrum() {
        if (!has_pepmass_) throw Error("expected a PEPMASS line before 'END IONS'");
        if (!has_charge_) spectrum_.charges = default_charges_;
        if (scans_) {
            spectrum_.scan = *scans_;
        } else {
            spectrum_.scan = ScanFromTitle(spectrum_.title).value_or(index_);
        }
        in_spectrum_ = false;
        emitter_.Emit(std::move(spectrum_));
    }

    LineInput lines_;
    RecordEmitter& emitter_;
    std::vector<int> default_charges_;
    bool in_spectrum_ = false;
    SourceSpectrum spectrum_;
    std::optional<int> scans_;
    bool has_pepmass_ = false;
    bool has_charge_ = false;
    int index_ = 0;
};

}  // namespace

void ReadMgf(ByteInput& input, RecordEmitter& emitter) { MgfParser(input, emitter).Run(); }

}  // namespace speclink
