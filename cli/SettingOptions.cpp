#include "speclink/cli/SettingOptions.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <stdexcept>

#include "speclink/cli/CommandErrors.h"

namespace speclink::cli {

namespace {

std::string Shortest(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

double Real(const std::string& text) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        throw std::invalid_argument("'" + text + "' is not a number");
    }
    return value;
}

int32_t Whole(const std::string& text) {
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        throw std::invalid_argument("'" + text + "' is not a whole number");
    }
    return value;
}

// One setting as an option: its name, what it does, the jobs that use it, and how its
// text is read into the settings and shown from them.
struct SettingOption {
    const char* name;
    const char* type;  ///< shown in --help
    const char* help;
    unsigned jobs;
    void (*apply)(Settings&, const std::string&);
    std::string (*show)(const Settings&);
    /// Why the shift search ignores it, for the usage error.
    const char* unused_by_shift_search = nullptr;
};

// Why `job` does not use `setting`.
std::string WhyUnused(const SettingOption& setting, Job job) {
    const std::string name = setting.name;
    if (setting.jobs == kParameterJob) return "it is only kept in parameter files (write one with speclink params)";
    if (job == kShiftSearchJob && setting.unused_by_shift_search != nullptr) return setting.unused_by_shift_search;
    if (job == kClusterJob && (name == "method" || name == "fragment-tol")) {
        return "clustering always scores by \"Dot Product\" at 0.5 Da";
    }
    if (job == kClusterJob) return "it belongs to the modification search";
    return "it belongs to clustering";
}

constexpr unsigned kAllJobs = kClusterJob | kModsearchJob | kShiftSearchJob | kParameterJob;
constexpr unsigned kSearchJobs = kModsearchJob | kParameterJob;

const SettingOption kSettingOptions[] = {
    {"cluster-type", "0|1", "0 clustering, 1 modification search", kParameterJob,
     [](Settings& s, const std::string& t) { s.cluster_type = static_cast<Cluster_Type>(Whole(t)); },
     [](const Settings& s) { return std::to_string(s.cluster_type); }},
    {"precursor-tol", "TOL", "Precursor tolerance of a precursor group, e.g. 20ppm or 0.05Da", kClusterJob | kParameterJob,
     [](Settings& s, const std::string& t) { s.precursor_ion_tol = ParseTolerance(t); },
     [](const Settings& s) { return FormatTolerance(s.precursor_ion_tol); }},
    {"threshold", "NUM", "Similarity above which spectra are linked (cluster) or pairs listed (modsearch)", kAllJobs,
     [](Settings& s, const std::string& t) { s.threshold = Real(t); },
     [](const Settings& s) { return Shortest(s.threshold); }},
    {"method", "METHOD",
     "Similarity method by number or name: 0 \"Intensity Score\", 1 \"Dot Product\", 2 \"Dot Product Mod\", 3 \"Dot "
     "Product Half\", 4 \"Dot Product X\", 5 \"Peak Count\", 6 \"Bonanza\", 7 \"Comprehensive\"",
     kSearchJobs, [](Settings& s, const std::string& t) { s.similar_method = ParseSimilarMethod(t); },
     [](const Settings& s) { return std::string(SimilarMethodNames[s.similar_method]); },
     "the shift search scores every pair by \"Dot Product Mod\" at 0.5 Da"},
    {"fragment-tol", "TOL", "Fragment tolerance of the similarity, e.g. 0.5Da or 20ppm", kSearchJobs,
     [](Settings& s, const std::string& t) { s.fragment_ion_tol = ParseTolerance(t); },
     [](const Settings& s) { return FormatTolerance(s.fragment_ion_tol); },
     "the shift search scores every pair at 0.5 Da"},
    {"peak-select", "0-3", "Peak selection: 0 top N of the spectrum, 1 top K per window, 2 both, 3 none", kAllJobs,
     [](Settings& s, const std::string& t) { s.peak_select_method = static_cast<Peak_Select_Method>(Whole(t)); },
     [](const Settings& s) { return std::to_string(s.peak_select_method); }},
    {"whole-top-peaks", "INT", "N: peaks kept from the whole spectrum", kAllJobs,
     [](Settings& s, const std::string& t) { s.whole_top_peak_num = Whole(t); },
     [](const Settings& s) { return std::to_string(s.whole_top_peak_num); }},
    {"part-top-peaks", "INT", "K: peaks kept per m/z window", kAllJobs,
     [](Settings& s, const std::string& t) { s.part_top_peak_num = Whole(t); },
     [](const Settings& s) { return std::to_string(s.part_top_peak_num); }},
    {"part-window", "INT", "W: width of an m/z window (Th)", kAllJobs,
     [](Settings& s, const std::string& t) { s.part_top_peak_per_num = Whole(t); },
     [](const Settings& s) { return std::to_string(s.part_top_peak_per_num); }},
    {"lower-mass", "INT", "Smallest precursor mass difference of a scored pair (Da)", kSearchJobs,
     [](Settings& s, const std::string& t) { s.lower_mass = Whole(t); },
     [](const Settings& s) { return std::to_string(s.lower_mass); }, "the shift search always scores 6 to 200 Da"},
    {"upper-mass", "INT", "Largest precursor mass difference of a scored pair (Da)", kSearchJobs,
     [](Settings& s, const std::string& t) { s.upper_mass = Whole(t); },
     [](const Settings& s) { return std::to_string(s.upper_mass); }, "the shift search always scores 6 to 200 Da"},
    {"mass-group-tol", "NUM", "Mass differences closer than this are counted together in temp.temp (Da)", kSearchJobs,
     [](Settings& s, const std::string& t) { s.cluster_masses_tol = Real(t); },
     [](const Settings& s) { return Shortest(s.cluster_masses_tol); },
     "the shift search writes no temp.temp"},
    {"consensus-type", "0-2", "DTA output (--dta): 0 consensus and single spectra, 1 copies of the representatives, 2 both",
     kClusterJob | kParameterJob,
     [](Settings& s, const std::string& t) { s.consensus_type = static_cast<Representative_Spectra>(Whole(t)); },
     [](const Settings& s) { return std::to_string(s.consensus_type); }},
    {"consensus-fragment-tol", "TOL", "Consensus fragment tolerance, kept in the parameter file (the merge uses 0.4 Th)",
     kParameterJob, [](Settings& s, const std::string& t) { s.consensus_fragment_tol = ParseTolerance(t); },
     [](const Settings& s) { return FormatTolerance(s.consensus_fragment_tol); }},
    {"small-peaks-filter", "INT", "Small-peaks filter count, kept in the parameter file", kParameterJob,
     [](Settings& s, const std::string& t) { s.small_peaks_count_filter = Whole(t); },
     [](const Settings& s) { return std::to_string(s.small_peaks_count_filter); }},
    {"data-type", "INT", "Data format number, kept in the parameter file", kParameterJob,
     [](Settings& s, const std::string& t) { s.data_type = static_cast<MS2FormatType>(Whole(t)); },
     [](const Settings& s) { return std::to_string(s.data_type); }},
    {"result", "NAME", "Name of the specified result file (cluster list or pair list) in the output directory", kAllJobs,
     [](Settings& s, const std::string& t) { s.cluster_result = t; },
     [](const Settings&) { return std::string(); }},
};

}  // namespace

void SettingOptions::Register(CLI::App& app, unsigned jobs, const Settings& defaults) {
    for (std::size_t k = 0; k < std::size(kSettingOptions); ++k) {
        const SettingOption& setting = kSettingOptions[k];
        auto given = std::make_unique<Given>();
        given->setting = k;
        // The result file's name depends on the job.
        const std::string shown = std::string(setting.name) != "result" ? setting.show(defaults)
                                  : (jobs & kClusterJob) != 0            ? "clusters.csv"
                                                                         : "pairs.csv";
        given->option = app.add_option(std::string("--") + setting.name, given->text, setting.help)
                            ->type_name(setting.type)
                            ->default_str(shown)
                            ->group((setting.jobs & jobs) != 0 ? "Settings (override -p)" : "");
        options_.push_back(std::move(given));
    }
}

void SettingOptions::ApplyOverrides(Settings& settings, Job job) const {
    for (const std::unique_ptr<Given>& given : options_) {
        if (given->option->count() == 0) continue;
        const SettingOption& setting = kSettingOptions[given->setting];
        if ((setting.jobs & job) == 0) {
            throw UsageError(std::string("--") + setting.name + " does not apply here: " + WhyUnused(setting, job));
        }
        try {
            setting.apply(settings, given->text);
        } catch (const std::invalid_argument& error) {
            throw UsageError(std::string("--") + setting.name + ": " + error.what());
        }
    }
}

bool SettingOptions::AnyGiven() const {
    for (const std::unique_ptr<Given>& given : options_) {
        if (given->option->count() > 0) return true;
    }
    return false;
}

}  // namespace speclink::cli
