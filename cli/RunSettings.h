#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "speclink/cli/Tolerance.h"
#include "speclink/library/params/Enums.h"
#include "speclink/library/params/Para.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace speclink::cli {

/// Every setting of a parameter file, as the command line sees it. The defaults are those
/// the parameter file reader puts in, with the modification window 6 to 200 Da.
struct RunSettings {
    Cluster_Type cluster_type = CLUSTER_HIERARCHICAL;
    MS2FormatType data_type = FORMAT_DTA;
    std::string data_directory;
    std::string out_directory;
    std::string cluster_result;
    int32_t small_peaks_count_filter = 10;
    Peak_Select_Method peak_select_method = PEAK_SELECT_PART_THEN_WHOLE_TOP;
    int32_t whole_top_peak_num = 50;
    int32_t part_top_peak_num = 5;
    int32_t part_top_peak_per_num = 100;
    Similar_Method similar_method = SIMILAR_DOT_PRODUCT;
    Tolerance fragment_ion_tol{0.5, TOLERANCE_DA};
    Tolerance precursor_ion_tol{20.0, TOLERANCE_PPM};
    Representative_Spectra consensus_type = CONSENSUS_SPECTRA;
    Tolerance consensus_fragment_tol{0.4, TOLERANCE_DA};
    double threshold = 0.6;
    int32_t lower_mass = 6;            ///< Da
    int32_t upper_mass = 200;          ///< Da
    double cluster_masses_tol = 0.01;  ///< Da

    /// The settings of a parameter file as the library reads it. Throws std::runtime_error
    /// naming the file when it cannot be read or names an unknown cluster type.
    static RunSettings FromParameterFile(const std::string& path);

    /// Fills an empty parameter set through its setters (so paths keep their case) and
    /// builds the engine on the set's own data-set settings and consensus builder.
    void Configure(CPara& para) const;

    /// Throws std::invalid_argument with a message naming the option when a value cannot
    /// give a meaningful run (e.g. a window count below 1, a threshold outside 0 to 1).
    void Validate() const;
};

/// Parses a similarity method given as its number (0 to 7) or its name, in any case
/// ("dot product x"). Throws std::invalid_argument listing the names.
Similar_Method ParseSimilarMethod(const std::string& text);

/// Registers one option per setting on `app`; after parsing, ApplyOverrides copies the
/// options that were given onto a base set of settings.
class SettingOptions {
public:
    /// `with_parameter_file`: offer -p; `with_cluster_type`: offer --cluster-type.
    void Register(CLI::App& app, bool with_parameter_file, bool with_cluster_type);
    /// True when at least one setting option was given.
    bool AnyGiven() const;
    void ApplyOverrides(RunSettings& settings) const;
    /// The -p parameter file, or "" when none was given.
    const std::string& parameter_file() const { return parameter_file_; }

private:
    RunSettings values_;
    std::string parameter_file_;
    std::string method_;
    std::string fragment_tol_;
    std::string precursor_tol_;
    std::string consensus_fragment_tol_;
    int32_t cluster_type_ = 0;
    int32_t peak_select_ = 2;
    int32_t consensus_type_ = 0;
    int32_t data_type_ = 0;
    // Each option with what it does to the settings when it was given.
    std::vector<std::pair<CLI::Option*, std::function<void(RunSettings&)>>> options_;
};

}  // namespace speclink::cli
