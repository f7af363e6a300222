#include <gtest/gtest.h>

#include "speclink/library/speclink.h"

namespace speclink {
namespace {

TEST(Para, SetClusterBuildsEngineOfEachType) {
    CPara para;
    para.SetDataClass(FORMAT_DTA, "d", "o", "r", 10);
    para.SetRepresentativeClass(CONSENSUS_SPECTRA, 0.4, TOLERANCE_DA);

    para.SetCluster(para.spectra_process, para.representative_spectra, static_cast<Cluster_Type>(2), 20.0,
                    TOLERANCE_PPM, 0.6);
    EXPECT_EQ(para.engine, nullptr);

    para.SetCluster(para.spectra_process, para.representative_spectra, CLUSTER_HIERARCHICAL, 15.0, TOLERANCE_DA, 0.7);
    ASSERT_NE(dynamic_cast<CHierarchicalCluster*>(para.engine), nullptr);
    EXPECT_EQ(para.engine->representative_spectra, para.representative_spectra);

    para.SetCluster(para.spectra_process, para.representative_spectra, CLUSTER_MODIFICATION, 20.0, TOLERANCE_PPM, 0.6);
    ASSERT_NE(dynamic_cast<CModificationCluster*>(para.engine), nullptr);
    EXPECT_EQ(para.engine->cluster_type, 1);
    EXPECT_EQ(para.engine->representative_spectra, nullptr);
}

TEST(Para, ReplacedObjectsStayValidForEnginesBuiltOnThem) {
    CPara para;
    para.SetDataClass(FORMAT_MGF, "first", "out", "result.txt", 7);
    CSpectraProcess* first = para.spectra_process;
    para.SetCluster(first, nullptr, CLUSTER_HIERARCHICAL, 20.0, TOLERANCE_PPM, 0.6);
    para.SetDataClass(FORMAT_DTA, "second", "", "", 10);

    ASSERT_NE(para.spectra_process, first);
    EXPECT_EQ(para.engine->spectra_process, first);
    EXPECT_EQ(first->data_directory, "first");
    EXPECT_EQ(first->small_peaks_count_filter, 7);
    // Every setter twice: the sanitizer build checks that nothing leaks.
    para.SetSimilarMethod(SIMILAR_BONANZA, 0.3, TOLERANCE_DA);
    para.SetSimilarMethod(SIMILAR_DOT_PRODUCT, 0.5, TOLERANCE_DA);
    para.SetPeakSelect(PEAK_SELECT_WHOLE_TOP, 1, 1, 1);
    para.SetPeakSelect(PEAK_SELECT_PART_THEN_WHOLE_TOP, 50, 5, 100);
    para.SetRepresentativeClass(CONSENSUS_SPECTRA, 0.4, TOLERANCE_DA);
    para.SetRepresentativeClass(CONSENSUS_REPRESENTATIVES, 0.4, TOLERANCE_DA);
    para.SetCluster(first, nullptr, CLUSTER_MODIFICATION, 20.0, TOLERANCE_PPM, 0.6);
}

}  // namespace
}  // namespace speclink
