#include "speclink/library/params/Settings.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

#include "speclink/library/common/LowerCase.h"
#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/data/SpectraProcess.h"
#include "speclink/library/params/Para.h"
#include "speclink/library/peaks/PeakSelect.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink {

Settings Settings::Of(const CPara& para) {
    Settings settings;
    settings.cluster_type = static_cast<Cluster_Type>(para.engine->cluster_type);
    settings.data_type = para.spectra_process->data_type;
    settings.data_directory = para.spectra_process->data_directory;
    settings.out_directory = para.spectra_process->out_directory;
    settings.cluster_result = para.spectra_process->cluster_result;
    settings.small_peaks_count_filter = para.spectra_process->small_peaks_count_filter;
    settings.peak_select_method = para.peak_select->peak_select_method;
    settings.whole_top_peak_num = para.peak_select->whole_top_peak_num;
    settings.part_top_peak_num = para.peak_select->part_top_peak_num;
    settings.part_top_peak_per_num = para.peak_select->part_top_peak_per_num;
    settings.similar_method = para.similarity->similar_method;
    settings.fragment_ion_tol = {para.similarity->fragment_ion_tol, para.similarity->fragment_ion_tol_type};
    settings.precursor_ion_tol = {para.engine->precursor_ion_tol, para.engine->precursor_ion_tol_type};
    settings.consensus_type = para.representative_spectra->consensus_type;
    settings.consensus_fragment_tol = {para.representative_spectra->consensus_fragment_tol,
                                       para.representative_spectra->consensus_fragment_tol_type};
    settings.threshold = para.engine->threshold;
    settings.lower_mass = para.engine->lower_mass;
    settings.upper_mass = para.engine->upper_mass;
    settings.cluster_masses_tol = para.engine->cluster_masses_tol;
    return settings;
}

void Settings::Configure(CPara& para) const {
    para.SetDataClass(data_type, data_directory, out_directory, cluster_result, small_peaks_count_filter);
    para.SetRepresentativeClass(consensus_type, consensus_fragment_tol.value, consensus_fragment_tol.unit);
    para.SetCluster(para.spectra_process, para.representative_spectra, cluster_type, precursor_ion_tol.value,
                    precursor_ion_tol.unit, threshold);
    para.engine->lower_mass = lower_mass;
    para.engine->upper_mass = upper_mass;
    para.engine->cluster_masses_tol = cluster_masses_tol;
    para.SetSimilarMethod(similar_method, fragment_ion_tol.value, fragment_ion_tol.unit);
    para.SetPeakSelect(peak_select_method, whole_top_peak_num, part_top_peak_num, part_top_peak_per_num);
}

void Settings::Validate() const {
    const auto require = [](bool holds, const char* message) {
        if (!holds) throw std::invalid_argument(message);
    };
    require(cluster_type == CLUSTER_HIERARCHICAL || cluster_type == CLUSTER_MODIFICATION,
            "cluster-type: must be 0 (clustering) or 1 (modification search)");
    require(similar_method >= SIMILAR_INTENSITY_SCORE && similar_method <= SIMILAR_COMPREHENSIVE,
            "method: must be 0 to 7 or a method name");
    require(std::isfinite(threshold) && threshold >= 0.0 && threshold <= 1.0, "threshold: must lie in 0 to 1");
    const bool per_window =
        peak_select_method == PEAK_SELECT_PART_TOP || peak_select_method == PEAK_SELECT_PART_THEN_WHOLE_TOP;
    const bool whole = peak_select_method == PEAK_SELECT_WHOLE_TOP || peak_select_method == PEAK_SELECT_PART_THEN_WHOLE_TOP;
    if (per_window) {
        require(part_top_peak_num >= 1, "part-top-peaks: must be at least 1 with peak selection 1 or 2");
        require(part_top_peak_per_num >= 1, "part-window: must be at least 1 with peak selection 1 or 2");
    }
    if (whole) require(whole_top_peak_num >= 1, "whole-top-peaks: must be at least 1 with peak selection 0 or 2");
    if (cluster_type == CLUSTER_HIERARCHICAL) {
        require(precursor_ion_tol.value > 0.0, "precursor-tol: must be above 0 for clustering");
    }
    require(lower_mass <= upper_mass, "lower-mass: must not exceed upper-mass");
    require(std::isfinite(cluster_masses_tol) && cluster_masses_tol >= 0.0 && cluster_masses_tol < 1000.0,
            "mass-group-tol: must lie in 0 to 1000 Da");
}

namespace {

std::string Shortest(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string UnitName(Tolerance_Type unit) { return ToleranceNames[unit == TOLERANCE_DA ? 0 : 1]; }

}  // namespace

std::string SettingsFileText(const Settings& s) {
    std::string text;
    const auto line = [&](const std::string& content) { text += content + "\n"; };
    line("[clustername]");
    line("cluster_name=");
    line("[file]");
    line("data_type=" + std::to_string(s.data_type));
    line("data_directory=" + s.data_directory);
    line("out_directory=" + s.out_directory);
    line("cluster_result=" + s.cluster_result);
    line("[preprocessing]");
    line("small_peaks_count_filter=" + std::to_string(s.small_peaks_count_filter));
    line("peak_select_method=" + std::to_string(s.peak_select_method));
    line("whole_top_peak_num=" + std::to_string(s.whole_top_peak_num));
    line("part_top_peak_num=" + std::to_string(s.part_top_peak_num));
    line("part_top_peak_per_num=" + std::to_string(s.part_top_peak_per_num));
    line("scale=sqrt");
    line("[similarity]");
    line("similar_method=" + std::to_string(s.similar_method));
    line("fragment_ion_tol=" + Shortest(s.fragment_ion_tol.value));
    line("fragment_ion_tol_type=" + UnitName(s.fragment_ion_tol.unit));
    line("[cluster]");
    line("cluster_type=" + std::to_string(s.cluster_type));
    line("cluster_method=0");
    line("precursor_ion_tol=" + Shortest(s.precursor_ion_tol.value));
    line("precursor_ion_tol_type=" + UnitName(s.precursor_ion_tol.unit));
    line("precursor_ion_type=" + UnitName(s.precursor_ion_tol.unit));
    line("consensus_type=" + std::to_string(s.consensus_type));
    line("consensus_fragment_tol=" + Shortest(s.consensus_fragment_tol.value));
    line("consensus_fragment_tol_type=" + UnitName(s.consensus_fragment_tol.unit));
    line("threshold=" + Shortest(s.threshold));
    line("[modification]");
    line("lower_mass=" + std::to_string(s.lower_mass));
    line("upper_mass=" + std::to_string(s.upper_mass));
    line("cluster_masses_tol=" + Shortest(s.cluster_masses_tol));
    return text;
}

Similar_Method ParseSimilarMethod(std::string_view text) {
    const std::string wanted = LowerCase(std::string(text));
    for (int32_t method = SIMILAR_INTENSITY_SCORE; method <= SIMILAR_COMPREHENSIVE; ++method) {
        if (wanted == std::to_string(method) || wanted == LowerCase(SimilarMethodNames[method])) {
            return static_cast<Similar_Method>(method);
        }
    }
    std::string names;
    for (int32_t method = SIMILAR_INTENSITY_SCORE; method <= SIMILAR_COMPREHENSIVE; ++method) {
        names += std::string(method != 0 ? ", " : "") + std::to_string(method) + " \"" + SimilarMethodNames[method] + "\"";
    }
    throw std::invalid_argument("unknown similarity method '" + std::string(text) + "'; use one of " + names);
}

}  // namespace speclink
