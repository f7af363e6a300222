#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "speclink/library/params/Defaults.h"
#include "speclink/library/params/Enums.h"
#include "speclink/library/params/Tolerance.h"

namespace speclink {

class CPara;

/// Every setting of a parameter file as one value, starting from the defaults. Hosts that
/// take settings from their users fill one of these, check it and build a CPara from it.
struct Settings {
    Cluster_Type cluster_type = defaults::kClusterType;
    MS2FormatType data_type = defaults::kDataType;
    std::string data_directory;
    std::string out_directory;
    std::string cluster_result;
    int32_t small_peaks_count_filter = defaults::kSmallPeaksCountFilter;
    Peak_Select_Method peak_select_method = defaults::kPeakSelectMethod;
    int32_t whole_top_peak_num = defaults::kWholeTopPeakNum;
    int32_t part_top_peak_num = defaults::kPartTopPeakNum;
    int32_t part_top_peak_per_num = defaults::kPartTopPeakPerNum;
    Similar_Method similar_method = defaults::kSimilarMethod;
    Tolerance fragment_ion_tol{defaults::kFragmentIonTol, defaults::kFragmentIonTolType};
    Tolerance precursor_ion_tol{defaults::kPrecursorIonTol, defaults::kPrecursorIonTolType};
    Representative_Spectra consensus_type = defaults::kConsensusType;
    Tolerance consensus_fragment_tol{defaults::kConsensusFragmentTol, defaults::kConsensusFragmentTolType};
    double threshold = defaults::kThreshold;
    int32_t lower_mass = defaults::kLowerMass;            ///< Da
    int32_t upper_mass = defaults::kUpperMass;            ///< Da
    double cluster_masses_tol = defaults::kClusterMassesTol;  ///< Da

    /// The settings a parameter set holds: every one of its five objects must exist.
    static Settings Of(const CPara& para);

    /// Fills a parameter set through its setters and builds the engine on the set's own
    /// data-set settings and consensus builder.
    void Configure(CPara& para) const;

    /// Throws std::invalid_argument when a value cannot give a meaningful run (a window
    /// count below 1, a threshold outside 0 to 1, ...). The message starts with the
    /// setting's name as the command line knows it, e.g. "threshold: must lie in 0 to 1".
    void Validate() const;

    friend bool operator==(const Settings&, const Settings&) = default;
};

/// The text of a parameter file that ReadParaFile reads back to exactly `settings`: the
/// layout WriteParaFile writes, with every number in the shortest form that reads back as
/// the same value and the precursor unit also under the key the reader takes it from
/// ("precursor_ion_type="). Directory and file names come back lower-cased, as the reader
/// stores them.
std::string SettingsFileText(const Settings& settings);

/// A similarity method given as its number (0 to 7) or its name in any case ("dot product
/// x"). Throws std::invalid_argument listing the names.
Similar_Method ParseSimilarMethod(std::string_view text);

}  // namespace speclink
