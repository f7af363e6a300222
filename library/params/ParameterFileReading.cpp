#include "speclink/library/params/ParameterFileReading.h"

#include <cstdlib>
#include <cstring>

#include "speclink/library/common/LowerCase.h"
#include "speclink/library/common/StdioFile.h"

namespace speclink {

namespace {

// Lines are read in pieces of at most 259 characters, as a 260-character buffer holds.
constexpr int kLineBuffer = 260;

// Indexes into kSectionNames.
enum Section : int { kClusterName, kFile, kPreprocessing, kSimilarity, kCluster, kModification };

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

int32_t IntegerOf(std::string_view line) { return std::atoi(std::string(ValueOfLine(line)).c_str()); }
double FloatOf(std::string_view line) { return std::atof(std::string(ValueOfLine(line)).c_str()); }

// A unit name matches when it contains the value, without regard to case; the last match wins.
void ReadUnit(std::string_view line, Tolerance_Type& unit) {
    const std::string value = LowerCase(std::string(ValueOfLine(line)));
    for (int32_t index = 0; index < 2; ++index) {
        if (LowerCase(ToleranceNames[index]).find(value) != std::string::npos) unit = static_cast<Tolerance_Type>(index);
    }
}

// A stored line: lower-cased, comment cut, trailing blanks removed.
std::string CleanLine(const char* buffer) {
    std::string line(buffer, std::strlen(buffer));
    if (!line.empty() && line.back() == '\n') line.pop_back();
    line = LowerCase(std::move(line));
    if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    // '\r' counts as part of the line end so that files written with CRLF read alike.
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    return line;
}

int HeaderOf(std::string_view line, const std::array<std::string_view, 6>& section_names) {
    for (int section = 0; section < static_cast<int>(section_names.size()); ++section) {
        if (Contains(line, section_names[section])) return section;
    }
    return -1;
}

const ParameterKey* KeyOf(int section, std::string_view line) {
    for (const ParameterKey& key : kParameterKeys) {
        if (key.section == section && Contains(line, key.text)) return &key;
    }
    return nullptr;
}

}  // namespace

const std::array<ParameterKey, 25> kParameterKeys = {{
    {kClusterName, "cluster_name=", KeyValue::kIgnored},
    {kFile, "data_type=", KeyValue::kInteger},
    {kFile, "data_directory=", KeyValue::kText},
    {kFile, "out_directory=", KeyValue::kText},
    {kFile, "cluster_result=", KeyValue::kText},
    {kPreprocessing, "small_peaks_count_filter=", KeyValue::kInteger},
    {kPreprocessing, "peak_select_method=", KeyValue::kInteger},
    {kPreprocessing, "whole_top_peak_num=", KeyValue::kInteger},
    {kPreprocessing, "part_top_peak_num=", KeyValue::kInteger},
    {kPreprocessing, "part_top_peak_per_num=", KeyValue::kInteger},
    {kPreprocessing, "scale=", KeyValue::kIgnored},
    {kSimilarity, "similar_method=", KeyValue::kInteger},
    {kSimilarity, "fragment_ion_tol=", KeyValue::kFloat},
    {kSimilarity, "fragment_ion_tol_type=", KeyValue::kUnit},
    {kCluster, "cluster_type=", KeyValue::kInteger},
    {kCluster, "cluster_method=", KeyValue::kIgnored},
    {kCluster, "precursor_ion_tol=", KeyValue::kFloat},
    // The reader's key for the precursor unit; the writer writes "precursor_ion_tol_type=".
    {kCluster, "precursor_ion_type=", KeyValue::kUnit},
    {kCluster, "consensus_type=", KeyValue::kInteger},
    {kCluster, "consensus_fragment_tol=", KeyValue::kFloat},
    {kCluster, "consensus_fragment_tol_type=", KeyValue::kUnit},
    {kCluster, "threshold=", KeyValue::kFloat},
    {kModification, "lower_mass=", KeyValue::kInteger},
    {kModification, "upper_mass=", KeyValue::kInteger},
    {kModification, "cluster_masses_tol=", KeyValue::kFloat},
}};

std::string_view ValueOfLine(std::string_view line) {
    const auto equals = line.find('=');
    return equals == std::string_view::npos ? line : line.substr(equals + 1);
}

std::optional<ParameterFileReading> ParameterFileReading::Read(const std::string& path,
                                                               const std::array<std::string_view, 6>& section_names) {
    ParameterFileReading reading;
    {
        const StdioFile file = OpenStdioFile(path, "r");
        if (!file) return std::nullopt;
        char buffer[kLineBuffer];
        int number = 1;
        bool continued = false;
        while (std::fgets(buffer, kLineBuffer, file.get()) != nullptr) {
            const bool whole = std::strchr(buffer, '\n') != nullptr;
            std::string raw(buffer);
            while (!raw.empty() && (raw.back() == '\n' || raw.back() == '\r')) raw.pop_back();
            Line line{number, continued, std::move(raw), CleanLine(buffer), -1, -1, nullptr};
            if (Contains(line.text, "cluster_type=")) reading.engine_type_ = IntegerOf(line.text);
            reading.lines_.push_back(std::move(line));
            continued = !whole;
            if (whole) ++number;
        }
    }

    Settings& settings = reading.settings_;
    settings.cluster_type = static_cast<Cluster_Type>(reading.engine_type_);
    // The collected masses are copied to the engine after every line that is not a header,
    // so a file without a [modification] section leaves both at 0; a file of headers alone
    // keeps the engine's own.
    int32_t lower_mass = 0;
    int32_t upper_mass = 0;
    int section = -1;
    for (Line& line : reading.lines_) {
        line.header = HeaderOf(line.text, section_names);
        if (line.header >= 0) {
            section = line.header;
            line.section = section;
            continue;
        }
        line.section = section;
        line.key = KeyOf(section, line.text);
        const std::string_view text = line.text;
        const std::string_view key = line.key != nullptr ? line.key->text : std::string_view();
        if (key == "data_type=") settings.data_type = static_cast<MS2FormatType>(IntegerOf(text));
        if (key == "data_directory=") settings.data_directory = ValueOfLine(text);
        if (key == "out_directory=") settings.out_directory = ValueOfLine(text);
        if (key == "cluster_result=") settings.cluster_result = ValueOfLine(text);
        if (key == "small_peaks_count_filter=") settings.small_peaks_count_filter = IntegerOf(text);
        if (key == "peak_select_method=") settings.peak_select_method = static_cast<Peak_Select_Method>(IntegerOf(text));
        if (key == "whole_top_peak_num=") settings.whole_top_peak_num = IntegerOf(text);
        if (key == "part_top_peak_num=") settings.part_top_peak_num = IntegerOf(text);
        if (key == "part_top_peak_per_num=") settings.part_top_peak_per_num = IntegerOf(text);
        if (key == "similar_method=") settings.similar_method = static_cast<Similar_Method>(IntegerOf(text));
        if (key == "fragment_ion_tol=") settings.fragment_ion_tol.value = FloatOf(text);
        if (key == "fragment_ion_tol_type=") ReadUnit(text, settings.fragment_ion_tol.unit);
        if (key == "cluster_type=") settings.cluster_type = static_cast<Cluster_Type>(IntegerOf(text));
        if (key == "precursor_ion_tol=") settings.precursor_ion_tol.value = FloatOf(text);
        if (key == "precursor_ion_type=") ReadUnit(text, settings.precursor_ion_tol.unit);
        if (key == "consensus_type=") settings.consensus_type = static_cast<Representative_Spectra>(IntegerOf(text));
        if (key == "consensus_fragment_tol=") settings.consensus_fragment_tol.value = FloatOf(text);
        if (key == "consensus_fragment_tol_type=") ReadUnit(text, settings.consensus_fragment_tol.unit);
        if (key == "threshold=") settings.threshold = FloatOf(text);
        if (key == "lower_mass=") lower_mass = IntegerOf(text);
        if (key == "upper_mass=") upper_mass = IntegerOf(text);
        if (key == "cluster_masses_tol=") settings.cluster_masses_tol = FloatOf(text);
        settings.lower_mass = lower_mass;
        settings.upper_mass = upper_mass;
    }
    return reading;
}

}  // namespace speclink
