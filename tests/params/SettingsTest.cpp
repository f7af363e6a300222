// Settings as one value: a parameter set built from them gives them back, and the checks
// name the setting at fault.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "speclink/library/params/Para.h"
#include "speclink/library/params/Settings.h"

namespace speclink {
namespace {

TEST(Settings, AParameterSetBuiltFromThemGivesThemBack) {
    Settings changed;
    changed.cluster_type = CLUSTER_MODIFICATION;
    changed.data_type = FORMAT_MZML;
    changed.data_directory = "Data/Run";
    changed.out_directory = "Out";
    changed.cluster_result = "pairs.csv";
    changed.small_peaks_count_filter = 3;
    changed.peak_select_method = PEAK_SELECT_PART_TOP;
    changed.whole_top_peak_num = 40;
    changed.part_top_peak_num = 6;
    changed.part_top_peak_per_num = 90;
    changed.similar_method = SIMILAR_COMPREHENSIVE;
    changed.fragment_ion_tol = {20.0, TOLERANCE_PPM};
    changed.precursor_ion_tol = {0.05, TOLERANCE_DA};
    changed.consensus_type = CONSENSUS_REPRESENTATIVES;
    changed.consensus_fragment_tol = {10.0, TOLERANCE_PPM};
    changed.threshold = 0.75;
    changed.lower_mass = -50;
    changed.upper_mass = 500;
    changed.cluster_masses_tol = 0.02;
    for (const Settings& settings : {Settings{}, changed}) {
        CPara para;
        settings.Configure(para);
        EXPECT_EQ(Settings::Of(para), settings);
    }
}

TEST(Settings, ChecksNameTheSetting) {
    const auto message = [](Settings settings) {
        try {
            settings.Validate();
        } catch (const std::invalid_argument& error) {
            return std::string(error.what());
        }
        return std::string();
    };
    Settings s;
    EXPECT_EQ(message(s), "");
    s.threshold = 1.5;
    EXPECT_EQ(message(s), "threshold: must lie in 0 to 1");
    s = {};
    s.part_top_peak_num = 0;
    EXPECT_EQ(message(s), "part-top-peaks: must be at least 1 with peak selection 1 or 2");
    s.peak_select_method = PEAK_SELECT_WHOLE_TOP;
    EXPECT_EQ(message(s), "");
    s = {};
    s.precursor_ion_tol.value = 0.0;
    EXPECT_EQ(message(s), "precursor-tol: must be above 0 for clustering");
    s.cluster_type = CLUSTER_MODIFICATION;
    EXPECT_EQ(message(s), "");
    s.lower_mass = 300;
    EXPECT_EQ(message(s), "lower-mass: must not exceed upper-mass");
}

}  // namespace
}  // namespace speclink
