#include "speclink/formats/Ms2Reader.h"

#include <cmath>
#include <optional>
#include <string>

#include "speclink/formats/FormatError.h"
#include "speclink/formats/LineInput.h"
#include "speclink/formats/TextFields.h"

namespace speclink {
namespace {

class Ms2Parser {
public:
    Ms2Parser(ByteInput& input, RecordEmitter& emitter) : lines_(input), emitter_(emitter) {}

    void Run() {
        std::string_view line;
        while (lines_.Next(line)) {
            const std::vector<std::string_view> fields = SplitFields(line);
            if (fields.empty()) continue;
            const std::string_view type = fields[0];
            if (type == "H") {
                if (in_spectrum_) throw Error("H line after the first spectrum");
            } else if (type == "S") {
                StartSpectrum(fields);
            } else if (type == "I") {
                Information(fields);
            } else if (type == "Z") {
                Charge(fields);
            } else if (type == "D") {
                RequireSpectrum("D line");
            } else {
                Peak(fields);
            }
        }
        if (in_spectrum_) emitter_.Emit(std::move(spectrum_));
    }

private:
    FormatError Error(const std::string& message) const {
        return FormatError::AtLine(lines_.path(), lines_.line_number(), message);
    }

    void RequireSpectrum(const std::string& what) const {
        if (!in_spectrum_) throw Error(what + " before the first S line");
    }

    double Number(std::string_view field, const std::string& what) const {
        const std::optional<double> value = ParseDouble(field);
        if (!value) throw Error("expected a number for the " + what + ", found '" + std::string(field) + "'");
        if (!std::isfinite(*value)) throw Error("the " + what + " is not a finite number");
        return *value;
    }

    void StartSpectrum(const std::vector<std::string_view>& fields) {
        if (fields.size() != 4) throw Error("expected 'S first-scan last-scan precursor-m/z'");
        const std::optional<int> first = ParseInt(fields[1]);
        if (!first || !ParseInt(fields[2])) throw Error("expected whole scan numbers on the S line");
        const double mz = Number(fields[3], "precursor m/z");
        if (mz <= 0.0) throw Error("the precursor m/z must be positive");
        if (in_spectrum_) emitter_.Emit(std::move(spectrum_));
        spectrum_ = SourceSpectrum{};
        spectrum_.scan = *first;
        spectrum_.native_id = std::string(fields[1]);
        spectrum_.precursor_mz = mz;
        in_spectrum_ = true;
    }

    void Information(const std::vector<std::string_view>& fields) {
        RequireSpectrum("I line");
        if (fields.size() >= 3 && fields[1] == "RTime") spectrum_.retention_time = Number(fields[2], "RTime") * 60.0;
    }

    void Charge(const std::vector<std::string_view>& fields) {
        RequireSpectrum("Z line");
        if (fields.size() != 3) throw Error("expected 'Z charge [M+H]+'");
        const std::optional<int> charge = ParseInt(fields[1]);
        if (!charge) throw Error("expected a whole charge on the Z line, found '" + std::string(fields[1]) + "'");
        const double mass = Number(fields[2], "[M+H]+ mass");
        if (mass <= 0.0) throw Error("the [M+H]+ mass must be positive");
        spectrum_.charges.push_back(*charge);
        spectrum_.stated_masses.push_back(mass);
    }

    void Peak(const std::vector<std::string_view>& fields) {
        if (fields.size() != 2) throw Error("expected a peak line 'm/z intensity' or an H, S, I, Z or D line");
        RequireSpectrum("peak line");
        const double mz = Number(fields[0], "peak m/z");
        const double intensity = Number(fields[1], "peak intensity");
        if (mz <= 0.0) throw Error("peak m/z must be positive");
        if (intensity < 0.0) throw Error("peak intensity must be at least 0");
        spectrum_.peaks.push_back({mz, intensity});
    }

    LineInput lines_;
    RecordEmitter& emitter_;
    SourceSpectrum spectrum_;
    bool in_spectrum_ = false;
};

}  // namespace

void ReadMs2(ByteInput& input, RecordEmitter& emitter) { Ms2Parser(input, emitter).Run(); }

}  // namespace speclink
