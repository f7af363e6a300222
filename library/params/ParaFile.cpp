// Reading and writing the parameter file of a CPara.

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/data/SpectraProcess.h"
#include "speclink/library/params/ClusterFactory.h"
#include "speclink/library/params/Para.h"
#include "speclink/library/peaks/PeakSelect.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Lines are read in pieces of at most 259 characters, as a 260-character buffer holds.
constexpr int kLineBuffer = 260;

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// The text after the first '=', or the whole line when it has none.
std::string ValueOf(const std::string& line) {
    const auto eq = line.find('=');
    return eq == std::string::npos ? line : line.substr(eq + 1);
}

int32_t IntegerOf(const std::string& line) { return std::atoi(ValueOf(line).c_str()); }
double FloatOf(const std::string& line) { return std::atof(ValueOf(line).c_str()); }

// A unit name matches when it contains the value, without regard to case; the last match wins.
void ReadUnit(const std::string& line, Tolerance_Type& unit) {
    std::string value = ValueOf(line);
    for (char& c : value) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (int32_t index = 0; index < 2; ++index) {
        std::string name = ToleranceNames[index];
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (name.find(value) != std::string::npos) unit = static_cast<Tolerance_Type>(index);
    }
}

// A stored line: lower-cased, comment cut, trailing blanks removed.
std::string CleanLine(const char* buffer) {
    std::string line(buffer, std::strlen(buffer));
    if (!line.empty() && line.back() == '\n') line.pop_back();
    for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    // '\r' counts as part of the line end so that files written with CRLF read alike.
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return line;
}

bool IsUnit(Tolerance_Type unit) { return unit == TOLERANCE_DA || unit == TOLERANCE_PPM; }

}  // namespace

bool CPara::ReadParaFile(std::string path) {
    std::vector<std::string> lines;
    int32_t cluster_type = CLUSTER_HIERARCHICAL;
    {
        File file(std::fopen(path.c_str(), "r"));
        if (!file) return false;
        char buffer[kLineBuffer];
        while (std::fgets(buffer, kLineBuffer, file.get()) != nullptr) {
            std::string line = CleanLine(buffer);
            if (Contains(line, "cluster_type=")) cluster_type = IntegerOf(line);
            lines.push_back(std::move(line));
        }
    }
    if (cluster_type != CLUSTER_HIERARCHICAL && cluster_type != CLUSTER_MODIFICATION) return false;

    auto* process = new CSpectraProcess(FORMAT_DTA, "", "", "", 10);
    Replace(spectra_process, process, retired_spectra_processes_);
    auto* representatives = new CRepresentativeSpectra(CONSENSUS_SPECTRA, 0.4, TOLERANCE_DA);
    Replace(representative_spectra, representatives, retired_representatives_);
    const CClusterFactory factory;
    CCluster* cluster = factory.CreateCluster(process, representatives, static_cast<Cluster_Type>(cluster_type),
                                              20.0, TOLERANCE_PPM, 0.6);
    Replace(engine, cluster, retired_engines_);
    auto* scorer = new CSimilarity(SIMILAR_DOT_PRODUCT, 0.5, TOLERANCE_DA);
    Replace(similarity, scorer, retired_similarities_);
    auto* selector = new CPeakSelect(PEAK_SELECT_PART_THEN_WHOLE_TOP, 50, 5, 100);
    Replace(peak_select, selector, retired_peak_selects_);

    // The keys of each section, in the order they are tested; the first key a line
    // contains applies. A null action marks a key that is recognised and ignored.
    using Action = std::function<void(const std::string&)>;
    struct Key {
        const char* name;
        Action apply;
    };
    int32_t lower_mass = 0;
    int32_t upper_mass = 0;
    const std::array<std::vector<Key>, 6> keys = {{
        {{"cluster_name=", nullptr}},
        {{"data_type=", [&](const std::string& l) { process->data_type = static_cast<MS2FormatType>(IntegerOf(l)); }},
         {"data_directory=", [&](const std::string& l) { process->SetDataDirectory(ValueOf(l)); }},
         {"out_directory=", [&](const std::string& l) { process->SetOutDirectory(ValueOf(l)); }},
         {"cluster_result=", [&](const std::string& l) { process->SetClusterResult(ValueOf(l)); }}},
        {{"small_peaks_count_filter=", [&](const std::string& l) { process->small_peaks_count_filter = IntegerOf(l); }},
         {"peak_select_method=",
          [&](const std::string& l) { selector->peak_select_method = static_cast<Peak_Select_Method>(IntegerOf(l)); }},
         {"whole_top_peak_num=", [&](const std::string& l) { selector->whole_top_peak_num = IntegerOf(l); }},
         {"part_top_peak_num=", [&](const std::string& l) { selector->part_top_peak_num = IntegerOf(l); }},
         {"part_top_peak_per_num=", [&](const std::string& l) { selector->part_top_peak_per_num = IntegerOf(l); }},
         {"scale=", nullptr}},
        {{"similar_method=", [&](const std::string& l) { scorer->similar_method = static_cast<Similar_Method>(IntegerOf(l)); }},
         {"fragment_ion_tol=", [&](const std::string& l) { scorer->fragment_ion_tol = FloatOf(l); }},
         {"fragment_ion_tol_type=", [&](const std::string& l) { ReadUnit(l, scorer->fragment_ion_tol_type); }}},
        {{"cluster_type=", [&](const std::string& l) { cluster->cluster_type = IntegerOf(l); }},
         {"cluster_method=", nullptr},
         {"precursor_ion_tol=", [&](const std::string& l) { cluster->precursor_ion_tol = FloatOf(l); }},
         // The reader's key for the precursor unit; the writer writes "precursor_ion_tol_type=".
         {"precursor_ion_type=", [&](const std::string& l) { ReadUnit(l, cluster->precursor_ion_tol_type); }},
         {"consensus_type=",
          [&](const std::string& l) { representatives->consensus_type = static_cast<Representative_Spectra>(IntegerOf(l)); }},
         {"consensus_fragment_tol=", [&](const std::string& l) { representatives->consensus_fragment_tol = FloatOf(l); }},
         {"consensus_fragment_tol_type=",
          [&](const std::string& l) { ReadUnit(l, representatives->consensus_fragment_tol_type); }},
         {"threshold=", [&](const std::string& l) { cluster->threshold = FloatOf(l); }}},
        {{"lower_mass=", [&](const std::string& l) { lower_mass = IntegerOf(l); }},
         {"upper_mass=", [&](const std::string& l) { upper_mass = IntegerOf(l); }},
         {"cluster_masses_tol=", [&](const std::string& l) { cluster->cluster_masses_tol = FloatOf(l); }}},
    }};

    int section = -1;
    for (const std::string& line : lines) {
        const auto header = std::find_if(section_names.begin(), section_names.end(),
                                         [&](const std::string& name) { return Contains(line, name.c_str()); });
        if (header != section_names.end()) {
            section = static_cast<int>(header - section_names.begin());
            continue;
        }
        if (section >= 0) {
            for (const Key& key : keys[section]) {
                if (!Contains(line, key.name)) continue;
                if (key.apply) key.apply(line);
                break;
            }
        }
        // The collected masses are copied after every line, so a file without a
        // [modification] section leaves both at 0.
        cluster->lower_mass = lower_mass;
        cluster->upper_mass = upper_mass;
    }
    return true;
}

bool CPara::WriteParaFile(std::string path) const {
    if (engine == nullptr || similarity == nullptr || peak_select == nullptr || spectra_process == nullptr ||
        representative_spectra == nullptr)
        return false;
    if (!IsUnit(similarity->fragment_ion_tol_type) || !IsUnit(engine->precursor_ion_tol_type) ||
        !IsUnit(representative_spectra->consensus_fragment_tol_type))
        return false;
    File file(std::fopen(path.c_str(), "w"));
    if (!file) return false;
    std::FILE* out = file.get();
    std::fprintf(out, "[clustername]\n");
    std::fprintf(out, "cluster_name=%s\n", "");
    std::fprintf(out, "[file]\n");
    std::fprintf(out, "data_type=%d\n", spectra_process->data_type);
    std::fprintf(out, "data_directory=%s\n", spectra_process->GetDataDirectory().c_str());
    std::fprintf(out, "out_directory=%s\n", spectra_process->GetOutDirectory().c_str());
    std::fprintf(out, "cluster_result=%s\n", spectra_process->GetClusterResult().c_str());
    std::fprintf(out, "[preprocessing]\n");
    std::fprintf(out, "small_peaks_count_filter=%d\n", spectra_process->small_peaks_count_filter);
    std::fprintf(out, "peak_select_method=%d\n", peak_select->peak_select_method);
    std::fprintf(out, "whole_top_peak_num=%d\n", peak_select->whole_top_peak_num);
    std::fprintf(out, "part_top_peak_num=%d\n", peak_select->part_top_peak_num);
    std::fprintf(out, "part_top_peak_per_num=%d\n", peak_select->part_top_peak_per_num);
    std::fprintf(out, "scale=%s\n", "sqrt");
    std::fprintf(out, "[similarity]\n");
    std::fprintf(out, "similar_method=%d\n", similarity->similar_method);
    std::fprintf(out, "fragment_ion_tol=%.2lf\n", similarity->fragment_ion_tol);
    std::fprintf(out, "fragment_ion_tol_type=%s\n", ToleranceNames[similarity->fragment_ion_tol_type]);
    std::fprintf(out, "[cluster]\n");
    std::fprintf(out, "cluster_type=%d\n", engine->cluster_type);
    std::fprintf(out, "cluster_method=%d\n", 0);
    std::fprintf(out, "precursor_ion_tol=%.2lf\n", engine->precursor_ion_tol);
    std::fprintf(out, "precursor_ion_tol_type=%s\n", ToleranceNames[engine->precursor_ion_tol_type]);
    std::fprintf(out, "consensus_type=%d\n", representative_spectra->consensus_type);
    std::fprintf(out, "consensus_fragment_tol=%lf\n", representative_spectra->consensus_fragment_tol);
    std::fprintf(out, "consensus_fragment_tol_type=%s\n",
                 ToleranceNames[representative_spectra->consensus_fragment_tol_type]);
    std::fprintf(out, "threshold=%.2lf\n", engine->threshold);
    std::fprintf(out, "[modification]\n");
    std::fprintf(out, "lower_mass=%d\n", engine->lower_mass);
    std::fprintf(out, "upper_mass=%d\n", engine->upper_mass);
    std::fprintf(out, "cluster_masses_tol=%lf\n", engine->cluster_masses_tol);
    return true;
}

}  // namespace speclink
