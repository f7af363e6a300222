#include "speclink/formats/DtaReader.h"

#include <cmath>
#include <optional>
#include <string>

#include "speclink/formats/FormatError.h"
#include "speclink/formats/LineInput.h"
#include "speclink/formats/SpectrumNaming.h"
#include "speclink/formats/TextFields.h"

namespace speclink {

void ReadDta(ByteInput& input, RecordEmitter& emitter) {
    LineInput lines(input);
    const auto error = [&](const std::string& message) {
        return FormatError::AtLine(lines.path(), lines.line_number(), message);
    };
    const auto number = [&](std::string_view field, const std::string& what) {
        const std::optional<double> value = ParseDouble(field);
        if (!value) throw error("expected a number for the " + what + ", found '" + std::string(field) + "'");
        if (!std::isfinite(*value)) throw error("the " + what + " is not a finite number");
        return *value;
    };

    SourceSpectrum spectrum;
    spectrum.file_name = FileNameOf(input.path());
    spectrum.native_id = spectrum.file_name;
    spectrum.scan = ScanFromTitle(InputBaseName(input.path())).value_or(0);
    bool header = false;
    bool blank_seen = false;
    std::string_view line;
    while (lines.Next(line)) {
        const std::vector<std::string_view> fields = SplitFields(line);
        if (fields.empty()) {
            blank_seen = true;
            continue;
        }
        if (blank_seen) throw error("expected only blank lines after a blank line (one spectrum per DTA file)");
        if (!header) {
            if (fields.size() != 2) throw error("expected the header line '[M+H]+ charge'");
            const double mass = number(fields[0], "[M+H]+ mass");
            if (mass <= 0.0) throw error("the [M+H]+ mass must be positive");
            const std::optional<int> charge = ParseInt(fields[1]);
            if (!charge) throw error("expected a whole charge in the header, found '" + std::string(fields[1]) + "'");
            spectrum.charges = {*charge};
            spectrum.stated_masses = {mass};
            header = true;
            continue;
        }
        if (fields.size() != 2) throw error("expected a peak line 'm/z intensity'");
        const double mz = number(fields[0], "peak m/z");
        const double intensity = number(fields[1], "peak intensity");
        if (mz <= 0.0) throw error("peak m/z must be positive");
        if (intensity < 0.0) throw error("peak intensity must be at least 0");
        spectrum.peaks.push_back({mz, intensity});
    }
    if (!header)
        throw FormatError::AtLine(lines.path(), lines.line_number() + 1, "expected the header line '[M+H]+ charge'");
    emitter.Emit(std::move(spectrum));
}

}  // namespace speclink
