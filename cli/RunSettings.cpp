#include "speclink/cli/RunSettings.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <cmath>
#include <fstream>
#include <stdexcept>

#include "speclink/cli/LowerCase.h"
#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/data/SpectraProcess.h"
#include "speclink/library/peaks/PeakSelect.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink::cli {

RunSettings RunSettings::FromParameterFile(const std::string& path) {
    CPara para;
    if (!para.ReadParaFile(path)) {
        if (!std::ifstream(path)) throw std::runtime_error(path + ": cannot read the parameter file");
        throw std::runtime_error(path + ": cluster_type must be 0 (clustering) or 1 (modification search)");
    }
    RunSettings settings;
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

void RunSettings::Configure(CPara& para) const {
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

void RunSettings::Validate() const {
    auto require = [](bool ok, const std::string& message) {
        if (!ok) throw std::invalid_argument(message);
    };
    require(cluster_type == CLUSTER_HIERARCHICAL || cluster_type == CLUSTER_MODIFICATION,
            "--cluster-type must be 0 (clustering) or 1 (modification search)");
    require(similar_method >= 0 && similar_method <= 7, "--method must be 0 to 7 or a method name");
    require(std::isfinite(threshold) && threshold >= 0.0 && threshold <= 1.0, "--threshold must lie in 0 to 1");
    if (peak_select_method == PEAK_SELECT_PART_TOP || peak_select_method == PEAK_SELECT_PART_THEN_WHOLE_TOP) {
        require(part_top_peak_num >= 1, "--part-top-peaks must be at least 1 with peak selection 1 or 2");
        require(part_top_peak_per_num >= 1, "--part-window must be at least 1 with peak selection 1 or 2");
    }
    if (peak_select_method == PEAK_SELECT_WHOLE_TOP || peak_select_method == PEAK_SELECT_PART_THEN_WHOLE_TOP)
        require(whole_top_peak_num >= 1, "--whole-top-peaks must be at least 1 with peak selection 0 or 2");
    if (cluster_type == CLUSTER_HIERARCHICAL)
        require(precursor_ion_tol.value > 0.0, "--precursor-tol must be above 0 for clustering");
    require(lower_mass <= upper_mass, "--lower-mass must not exceed --upper-mass");
    require(std::isfinite(cluster_masses_tol) && cluster_masses_tol >= 0.0 && cluster_masses_tol < 1000.0,
            "--mass-group-tol must lie in 0 to 1000 Da");
}

Similar_Method ParseSimilarMethod(const std::string& text) {
    const std::string wanted = LowerCase(text);
    for (int32_t method = 0; method <= 7; ++method) {
        if (wanted == std::to_string(method) || wanted == LowerCase(SimilarMethodNames[method]))
            return static_cast<Similar_Method>(method);
    }
    std::string names;
    for (int32_t method = 0; method <= 7; ++method)
        names += std::string(method ? ", " : "") + std::to_string(method) + " \"" + SimilarMethodNames[method] + "\"";
    throw std::invalid_argument("unknown similarity method '" + text + "'; use one of " + names);
}

void SettingOptions::Register(CLI::App& app, bool with_parameter_file, bool with_cluster_type) {
    const RunSettings defaults;
    method_ = SimilarMethodNames[defaults.similar_method];
    fragment_tol_ = FormatTolerance(defaults.fragment_ion_tol);
    precursor_tol_ = FormatTolerance(defaults.precursor_ion_tol);
    consensus_fragment_tol_ = FormatTolerance(defaults.consensus_fragment_tol);
    values_ = defaults;
    peak_select_ = defaults.peak_select_method;
    consensus_type_ = defaults.consensus_type;

    auto add = [&](CLI::Option* option, std::function<void(RunSettings&)> apply) {
        option->capture_default_str()->group("Settings (override -p)");
        options_.emplace_back(option, std::move(apply));
    };
    if (with_parameter_file)
        app.add_option("-p,--params", parameter_file_,
                       "Parameter file giving the base settings; the options below override it")
            ->check(CLI::ExistingFile)
            ->group("Settings (override -p)");
    if (with_cluster_type)
        add(app.add_option("--cluster-type", cluster_type_, "0 clustering, 1 modification search"),
            [this](RunSettings& s) { s.cluster_type = static_cast<Cluster_Type>(cluster_type_); });
    add(app.add_option("--precursor-tol", precursor_tol_, "Precursor tolerance of a clustering group, e.g. 20ppm, 0.5Da"),
        [this](RunSettings& s) { s.precursor_ion_tol = ParseTolerance(precursor_tol_); });
    add(app.add_option("--threshold", values_.threshold,
                       "Similarity above which spectra are linked (clustering) or pairs listed"),
        [this](RunSettings& s) { s.threshold = values_.threshold; });
    add(app.add_option("--method", method_,
                       "Similarity method by number or name: 0 \"Intensity Score\", 1 \"Dot Product\", 2 \"Dot "
                       "Product Mod\", 3 \"Dot Product Half\", 4 \"Dot Product X\", 5 \"Peak Count\", 6 "
                       "\"Bonanza\", 7 \"Comprehensive\" (clustering always scores by 1)"),
        [this](RunSettings& s) { s.similar_method = ParseSimilarMethod(method_); });
    add(app.add_option("--fragment-tol", fragment_tol_, "Fragment tolerance of the similarity, e.g. 0.5Da, 20ppm"),
        [this](RunSettings& s) { s.fragment_ion_tol = ParseTolerance(fragment_tol_); });
    add(app.add_option("--peak-select", peak_select_,
                       "Peak selection: 0 top N of the spectrum, 1 top K per window, 2 both, 3 none"),
        [this](RunSettings& s) { s.peak_select_method = static_cast<Peak_Select_Method>(peak_select_); });
    add(app.add_option("--whole-top-peaks", values_.whole_top_peak_num, "N: peaks kept from the whole spectrum"),
        [this](RunSettings& s) { s.whole_top_peak_num = values_.whole_top_peak_num; });
    add(app.add_option("--part-top-peaks", values_.part_top_peak_num, "K: peaks kept per m/z window"),
        [this](RunSettings& s) { s.part_top_peak_num = values_.part_top_peak_num; });
    add(app.add_option("--part-window", values_.part_top_peak_per_num, "W: width of an m/z window (Th)"),
        [this](RunSettings& s) { s.part_top_peak_per_num = values_.part_top_peak_per_num; });
    add(app.add_option("--small-peaks-filter", values_.small_peaks_count_filter,
                       "Small-peaks filter count (kept in the parameter file)"),
        [this](RunSettings& s) { s.small_peaks_count_filter = values_.small_peaks_count_filter; });
    add(app.add_option("--consensus-type", consensus_type_,
                       "0 consensus and single spectra, 1 copies of the representatives, 2 both"),
        [this](RunSettings& s) { s.consensus_type = static_cast<Representative_Spectra>(consensus_type_); });
    add(app.add_option("--consensus-fragment-tol", consensus_fragment_tol_,
                       "Consensus fragment tolerance (kept in the parameter file)"),
        [this](RunSettings& s) { s.consensus_fragment_tol = ParseTolerance(consensus_fragment_tol_); });
    add(app.add_option("--lower-mass", values_.lower_mass, "Smallest mass difference of a scored pair (Da)"),
        [this](RunSettings& s) { s.lower_mass = values_.lower_mass; });
    add(app.add_option("--upper-mass", values_.upper_mass, "Largest mass difference of a scored pair (Da)"),
        [this](RunSettings& s) { s.upper_mass = values_.upper_mass; });
    add(app.add_option("--mass-group-tol", values_.cluster_masses_tol,
                       "Mass differences closer than this are counted together (Da)"),
        [this](RunSettings& s) { s.cluster_masses_tol = values_.cluster_masses_tol; });
    add(app.add_option("--result", values_.cluster_result,
                       "Result file (cluster list or pair list); relative to the output directory"),
        [this](RunSettings& s) { s.cluster_result = values_.cluster_result; });
    add(app.add_option("--data-type", data_type_, "Data format number kept in the parameter file"),
        [this](RunSettings& s) { s.data_type = static_cast<MS2FormatType>(data_type_); });
}

bool SettingOptions::AnyGiven() const {
    for (const auto& entry : options_)
        if (entry.first->count() > 0) return true;
    return false;
}

void SettingOptions::ApplyOverrides(RunSettings& settings) const {
    for (const auto& [option, apply] : options_)
        if (option->count() > 0) apply(settings);
}

}  // namespace speclink::cli
