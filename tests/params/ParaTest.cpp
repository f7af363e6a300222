#include <gtest/gtest.h>

#include "speclink/library/speclink.h"

namespace speclink {
namespace {

TEST(Para, StartsEmptyWithSectionNames) {
    const CPara para;
    EXPECT_EQ(para.engine, nullptr);
    EXPECT_EQ(para.similarity, nullptr);
    EXPECT_EQ(para.peak_select, nullptr);
    EXPECT_EQ(para.spectra_process, nullptr);
    EXPECT_EQ(para.representative_spectra, nullptr);
    EXPECT_EQ(para.section_names[0], "[clustername]");
    EXPECT_EQ(para.section_names[5], "[modification]");
}

TEST(Para, SetClusterBuildsEngineOfEachType) {
    CPara para;
    para.SetDataClass(FORMAT_DTA, "d", "o", "r", 10);
    para.SetRepresentativeClass(CONSENSUS_SPECTRA, 0.4, TOLERANCE_DA);

    para.SetCluster(para.spectra_process, para.representative_spectra, static_cast<Cluster_Type>(2), 20.0,
                    TOLERANCE_PPM, 0.6);
    EXPECT_EQ(para.engine, nullptr);

    para.SetCluster(para.spectra_process, para.representative_spectra, CLUSTER_HIERARCHICAL, 15.0, TOLERANCE_DA, 0.7);
    ASSERT_NE(dynamic_cast<CHierarchicalCluster*>(para.engine), nullptr);
    EXPECT_EQ(para.engine->cluster_type, 0);
    EXPECT_EQ(para.engine->lower_mass, 6);
    EXPECT_EQ(para.engine->upper_mass, 200);
    EXPECT_EQ(para.engine->cluster_masses_tol, 0.01);
    EXPECT_EQ(para.engine->precursor_ion_tol, 15.0);
    EXPECT_EQ(para.engine->precursor_ion_tol_type, TOLERANCE_DA);
    EXPECT_EQ(para.engine->threshold, 0.7);
    EXPECT_EQ(para.engine->spectra_process, para.spectra_process);
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

TEST(Para, SettersStoreTheirArgumentsInOrder) {
    CPara para;
    para.SetPeakSelect(PEAK_SELECT_PART_THEN_WHOLE_TOP, 50, 5, 100);
    EXPECT_EQ(para.peak_select->peak_select_method, 2);
    EXPECT_EQ(para.peak_select->whole_top_peak_num, 50);
    EXPECT_EQ(para.peak_select->part_top_peak_num, 5);
    EXPECT_EQ(para.peak_select->part_top_peak_per_num, 100);

    para.SetDataClass(FORMAT_MGF, "a", "b", "c", 7);
    EXPECT_EQ(para.spectra_process->data_type, 1);
    EXPECT_EQ(para.spectra_process->data_directory, "a");
    EXPECT_EQ(para.spectra_process->out_directory, "b");
    EXPECT_EQ(para.spectra_process->cluster_result, "c");
    EXPECT_EQ(para.spectra_process->small_peaks_count_filter, 7);
    EXPECT_TRUE(para.spectra_process->spectra.empty());

    para.SetSimilarMethod(SIMILAR_PEAK_COUNT, 0.25, TOLERANCE_PPM);
    EXPECT_EQ(para.similarity->similar_method, 5);
    EXPECT_EQ(para.similarity->fragment_ion_tol, 0.25);
    EXPECT_EQ(para.similarity->fragment_ion_tol_type, 1);

    para.SetRepresentativeClass(CONSENSUS_SPECTRA_AND_REPRESENTATIVES, 0.3, TOLERANCE_PPM);
    EXPECT_EQ(para.representative_spectra->consensus_type, 2);
    EXPECT_EQ(para.representative_spectra->consensus_fragment_tol, 0.3);
    EXPECT_EQ(para.representative_spectra->consensus_fragment_tol_type, 1);
    EXPECT_EQ(para.representative_spectra->spectra_process.small_peaks_count_filter, 10);
}

TEST(Para, ForwardsWithoutObjectsDoNothing) {
    const CPara para;
    PeakList first = {{200.0, 1.0}, {100.0, 2.0}};
    PeakList second = first;
    para.SelectPeak(first);
    EXPECT_EQ(first, second);
    EXPECT_EQ(para.ComputeSimilarScore(first, second, 0.0), 0.0);
}

TEST(Para, NameTables) {
    EXPECT_STREQ(ToleranceNames[TOLERANCE_DA], "Da");
    EXPECT_STREQ(ToleranceNames[TOLERANCE_PPM], "ppm");
    EXPECT_STREQ(SimilarMethodNames[SIMILAR_INTENSITY_SCORE], "Intensity Score");
    EXPECT_STREQ(SimilarMethodNames[SIMILAR_DOT_PRODUCT_X], "Dot Product X");
    EXPECT_STREQ(SimilarMethodNames[SIMILAR_COMPREHENSIVE], "Comprehensive");
}

}  // namespace
}  // namespace speclink
