#include "speclink/cli/SettingOptions.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <cmath>
#include <fstream>
#include <stdexcept>

#include "speclink/library/params/Para.h"

namespace speclink::cli {

Settings ReadSettingsFile(const std::string& path) {
    CPara para;
    if (!para.ReadParaFile(path)) {
        if (!std::ifstream(path)) throw std::runtime_error(path + ": cannot read the parameter file");
        throw std::runtime_error(path + ": cluster_type must be 0 (clustering) or 1 (modification search)");
    }
    return Settings::Of(para);
}

void SettingOptions::Register(CLI::App& app, bool with_parameter_file, bool with_cluster_type) {
    const Settings defaults;
    method_ = SimilarMethodNames[defaults.similar_method];
    fragment_tol_ = FormatTolerance(defaults.fragment_ion_tol);
    precursor_tol_ = FormatTolerance(defaults.precursor_ion_tol);
    consensus_fragment_tol_ = FormatTolerance(defaults.consensus_fragment_tol);
    values_ = defaults;
    peak_select_ = defaults.peak_select_method;
    consensus_type_ = defaults.consensus_type;

    auto add = [&](CLI::Option* option, std::function<void(Settings&)> apply) {
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
            [this](Settings& s) { s.cluster_type = static_cast<Cluster_Type>(cluster_type_); });
    add(app.add_option("--precursor-tol", precursor_tol_, "Precursor tolerance of a clustering group, e.g. 20ppm, 0.5Da"),
        [this](Settings& s) { s.precursor_ion_tol = ParseTolerance(precursor_tol_); });
    add(app.add_option("--threshold", values_.threshold,
                       "Similarity above which spectra are linked (clustering) or pairs listed"),
        [this](Settings& s) { s.threshold = values_.threshold; });
    add(app.add_option("--method", method_,
                       "Similarity method by number or name: 0 \"Intensity Score\", 1 \"Dot Product\", 2 \"Dot "
                       "Product Mod\", 3 \"Dot Product Half\", 4 \"Dot Product X\", 5 \"Peak Count\", 6 "
                       "\"Bonanza\", 7 \"Comprehensive\" (clustering always scores by 1)"),
        [this](Settings& s) { s.similar_method = ParseSimilarMethod(method_); });
    add(app.add_option("--fragment-tol", fragment_tol_, "Fragment tolerance of the similarity, e.g. 0.5Da, 20ppm"),
        [this](Settings& s) { s.fragment_ion_tol = ParseTolerance(fragment_tol_); });
    add(app.add_option("--peak-select", peak_select_,
                       "Peak selection: 0 top N of the spectrum, 1 top K per window, 2 both, 3 none"),
        [this](Settings& s) { s.peak_select_method = static_cast<Peak_Select_Method>(peak_select_); });
    add(app.add_option("--whole-top-peaks", values_.whole_top_peak_num, "N: peaks kept from the whole spectrum"),
        [this](Settings& s) { s.whole_top_peak_num = values_.whole_top_peak_num; });
    add(app.add_option("--part-top-peaks", values_.part_top_peak_num, "K: peaks kept per m/z window"),
        [this](Settings& s) { s.part_top_peak_num = values_.part_top_peak_num; });
    add(app.add_option("--part-window", values_.part_top_peak_per_num, "W: width of an m/z window (Th)"),
        [this](Settings& s) { s.part_top_peak_per_num = values_.part_top_peak_per_num; });
    add(app.add_option("--small-peaks-filter", values_.small_peaks_count_filter,
                       "Small-peaks filter count (kept in the parameter file)"),
        [this](Settings& s) { s.small_peaks_count_filter = values_.small_peaks_count_filter; });
    add(app.add_option("--consensus-type", consensus_type_,
                       "0 consensus and single spectra, 1 copies of the representatives, 2 both"),
        [this](Settings& s) { s.consensus_type = static_cast<Representative_Spectra>(consensus_type_); });
    add(app.add_option("--consensus-fragment-tol", consensus_fragment_tol_,
                       "Consensus fragment tolerance (kept in the parameter file)"),
        [this](Settings& s) { s.consensus_fragment_tol = ParseTolerance(consensus_fragment_tol_); });
    add(app.add_option("--lower-mass", values_.lower_mass, "Smallest mass difference of a scored pair (Da)"),
        [this](Settings& s) { s.lower_mass = values_.lower_mass; });
    add(app.add_option("--upper-mass", values_.upper_mass, "Largest mass difference of a scored pair (Da)"),
        [this](Settings& s) { s.upper_mass = values_.upper_mass; });
    add(app.add_option("--mass-group-tol", values_.cluster_masses_tol,
                       "Mass differences closer than this are counted together (Da)"),
        [this](Settings& s) { s.cluster_masses_tol = values_.cluster_masses_tol; });
    add(app.add_option("--result", values_.cluster_result,
                       "Result file (cluster list or pair list); relative to the output directory"),
        [this](Settings& s) { s.cluster_result = values_.cluster_result; });
    add(app.add_option("--data-type", data_type_, "Data format number kept in the parameter file"),
        [this](Settings& s) { s.data_type = static_cast<MS2FormatType>(data_type_); });
}

bool SettingOptions::AnyGiven() const {
    for (const auto& entry : options_)
        if (entry.first->count() > 0) return true;
    return false;
}

void SettingOptions::ApplyOverrides(Settings& settings) const {
    for (const auto& [option, apply] : options_)
        if (option->count() > 0) apply(settings);
}

}  // namespace speclink::cli
