#include "speclink/formats/MzxmlReader.h"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "speclink/formats/BinaryArrayDecoder.h"
#include "speclink/formats/FormatError.h"
#include "speclink/formats/TextFields.h"
#include "speclink/formats/XmlParser.h"

namespace speclink {
namespace {

/// Seconds of an xs:duration of the form PT[nH][nM][nS]; empty for anything else.
std::optional<double> DurationSeconds(std::string_view text) {
    text = Trim(text);
    if (!text.starts_with("PT") || text.size() < 4) return std::nullopt;
    text.remove_prefix(2);
    double seconds = 0.0;
    for (const auto& [unit, scale] : {std::pair{'H', 3600.0}, std::pair{'M', 60.0}, std::pair{'S', 1.0}}) {
        const size_t end = text.find(unit);
        if (end == std::string_view::npos) continue;
        const std::optional<double> value = ParseDouble(text.substr(0, end));
        if (!value || !std::isfinite(*value)) return std::nullopt;
        seconds += *value * scale;
        text.remove_prefix(end + 1);
    }
    if (!text.empty()) return std::nullopt;
    return seconds;
}

struct ScanState {
    SourceSpectrum spectrum;
    size_t peaks_count = 0;
    int precursors_seen = 0;
    bool in_first_precursor = false;
    std::string precursor_text;
    std::optional<int> charge;
    std::vector<int> possible_charges;
    bool in_peaks = false;
    ArrayEncoding encoding;
    std::string peaks_text;
};

class MzxmlHandler : public XmlHandler {
public:
    MzxmlHandler(ByteInput& input, RecordEmitter& emitter) : input_(input), emitter_(emitter), parser_(input, *this) {}

    void Run() {
        parser_.Parse();
        if (!root_seen_) throw FormatError(input_.path(), "1", "expected an mzXML document, found no element");
    }

    void StartElement(std::string_view name, const XmlAttributes& attributes) override {
        if (!root_seen_) {
            root_seen_ = true;
            if (name != "mzXML")
                throw parser_.ErrorHere("expected an mzXML document, found <" + std::string(name) + ">");
        }
        if (name == "scan") {
            StartScan(attributes);
        } else if (scans_.empty()) {
            return;
        } else if (name == "precursorMz") {
            StartPrecursor(attributes);
        } else if (name == "peaks") {
            StartPeaks(attributes);
        }
    }

    void EndElement(std::string_view name) override {
        if (scans_.empty()) return;
        ScanState& scan = scans_.back();
        if (name == "precursorMz" && scan.in_first_precursor) {
            scan.in_first_precursor = false;
            const std::optional<double> mz = ParseDouble(Trim(scan.precursor_text));
            if (!mz || !std::isfinite(*mz) || *mz <= 0.0) {
                throw ScanError("expected a positive finite precursor m/z, found '" + scan.precursor_text + "'");
            }
            scan.spectrum.precursor_mz = *mz;
        } else if (name == "peaks") {
            scan.in_peaks = false;
            if (scan.spectrum.ms_level == 2) DecodePeaks(scan);
        } else if (name == "scan") {
            EndScan();
        }
    }

    void Text(std::string_view text) override {
        if (scans_.empty()) return;
        ScanState& scan = scans_.back();
        if (scan.in_first_precursor) {
            scan.precursor_text.append(text);
        } else if (scan.in_peaks && scan.spectrum.ms_level == 2) {
            scan.peaks_text.append(text);
        }
    }

private:
    FormatError ScanError(const std::string& message) const {
        return parser_.ErrorHere("scan " + std::to_string(scans_.back().spectrum.scan) + ": " + message);
    }

    int WholeAttribute(const XmlAttributes& attributes, std::string_view name, const std::string& where) const {
        const std::optional<std::string_view> text = attributes.Get(name);
        const std::optional<int> value = text ? ParseInt(Trim(*text)) : std::nullopt;
        if (!value) throw parser_.ErrorHere(where + "expected a whole " + std::string(name) + " attribute");
        return *value;
    }

    void StartScan(const XmlAttributes& attributes) {
        ScanState scan;
        scan.spectrum.scan = WholeAttribute(attributes, "num", "<scan>: ");
        scan.spectrum.native_id = std::string(Trim(*attributes.Get("num")));
        scans_.push_back(std::move(scan));
        ScanState& state = scans_.back();
        state.spectrum.ms_level =
            WholeAttribute(attributes, "msLevel", "scan " + std::to_string(state.spectrum.scan) + ": ");
        const int count = attributes.Get("peaksCount") ? WholeAttribute(attributes, "peaksCount", "scan: ") : 0;
        if (count < 0) throw ScanError("negative peaksCount");
        state.peaks_count = static_cast<size_t>(count);
        if (const auto time = attributes.Get("retentionTime")) {
            const std::optional<double> seconds = DurationSeconds(*time);
            if (!seconds)
                throw ScanError("expected a retentionTime such as PT12.5S, found '" + std::string(*time) + "'");
            state.spectrum.retention_time = *seconds;
        }
        if (const auto current = attributes.Get("totIonCurrent")) {
            const std::optional<double> value = ParseDouble(Trim(*current));
            if (!value || !std::isfinite(*value)) throw ScanError("expected a number for totIonCurrent");
            state.spectrum.total_ion_current = *value;
        }
    }

    void StartPrecursor(const XmlAttributes& attributes) {
        ScanState& scan = scans_.back();
        if (++scan.precursors_seen != 1) return;
        scan.in_first_precursor = true;
        if (const auto charge = attributes.Get("precursorCharge")) {
            scan.charge = ParseInt(Trim(*charge));
            if (!scan.charge) throw ScanError("expected a whole precursorCharge, found '" + std::string(*charge) + "'");
        }
        if (const auto charges = attributes.Get("possibleCharges")) {
            const std::optional<std::vector<int>> list = ParseChargeList(*charges);
            if (!list) throw ScanError("expected a list of charges in possibleCharges");
            scan.possible_charges = *list;
        }
        if (const auto intensity = attributes.Get("precursorIntensity")) {
            const std::optional<double> value = ParseDouble(Trim(*intensity));
            if (!value || !std::isfinite(*value)) throw ScanError("expected a number for precursorIntensity");
            scan.spectrum.precursor_intensity = *value;
        }
    }

    void StartPeaks(const XmlAttributes& attributes) {
        ScanState& scan = scans_.back();
        scan.in_peaks = true;
        scan.encoding = ArrayEncoding{};
        scan.encoding.big_endian = true;
        const std::string_view precision = attributes.Get("precision").value_or("32");
        if (precision == "32") {
            scan.encoding.type = ArrayEncoding::Type::kFloat32;
        } else if (precision == "64") {
            scan.encoding.type = ArrayEncoding::Type::kFloat64;
        } else {
            throw ScanError("expected peaks precision 32 or 64, found '" + std::string(precision) + "'");
        }
        const std::string_view order = attributes.Get("byteOrder").value_or("network");
        if (order != "network") throw ScanError("expected byteOrder 'network', found '" + std::string(order) + "'");
        const std::string_view pairs =
            attributes.Get("pairOrder").value_or(attributes.Get("contentType").value_or("m/z-int"));
        if (pairs != "m/z-int") throw ScanError("expected m/z-int peak pairs, found '" + std::string(pairs) + "'");
        const std::string_view compression = attributes.Get("compressionType").value_or("none");
        if (compression == "zlib") {
            scan.encoding.zlib = true;
        } else if (compression != "none") {
            throw ScanError("expected compressionType 'none' or 'zlib', found '" + std::string(compression) + "'");
        }
    }

    void DecodePeaks(ScanState& scan) {
        std::vector<double> values;
        try {
            values = DecodeBinaryArray(scan.peaks_text, scan.encoding, scan.peaks_count * 2);
        } catch (const ArrayDecodeError& error) {
            throw ScanError(std::string("peaks: ") + error.what());
        }
        scan.peaks_text.clear();
        PeakList& peaks = scan.spectrum.peaks;
        peaks.resize(scan.peaks_count);
        for (size_t i = 0; i < scan.peaks_count; ++i) {
            const double mz = values[2 * i];
            const double intensity = values[2 * i + 1];
            if (!std::isfinite(mz) || mz <= 0.0)
                throw ScanError("peak " + std::to_string(i + 1) + ": m/z must be a positive finite number");
            if (!std::isfinite(intensity) || intensity < 0.0) {
                throw ScanError("peak " + std::to_string(i + 1) + ": intensity must be a finite number of at least 0");
            }
            peaks[i] = {mz, intensity};
        }
    }

    void EndScan() {
        ScanState& scan = scans_.back();
        if (scan.charge) {
            scan.spectrum.charges = {*scan.charge};
        } else {
            scan.spectrum.charges = scan.possible_charges;
        }
        emitter_.Emit(std::move(scan.spectrum));
        scans_.pop_back();
    }

    ByteInput& input_;
    RecordEmitter& emitter_;
    XmlParser parser_;
    bool root_seen_ = false;
    std::vector<ScanState> scans_;
};

}  // namespace

void ReadMzxml(ByteInput& input, RecordEmitter& emitter) { MzxmlHandler(input, emitter).Run(); }

}  // namespace speclink
