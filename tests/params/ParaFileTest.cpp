#include <gtest/gtest.h>

#include <string>

#include "speclink/library/speclink.h"
#include "speclink/tests/support/TestSupport.h"

namespace speclink {
namespace {

using test::ReadFile;
using test::SourceFile;
using test::TempDir;
using test::WriteFile;

// Reads `content` as a parameter file into `para`.
bool ReadText(CPara& para, const std::string& content) {
    const TempDir dir;
    WriteFile(dir / "in.param", content);
    return para.ReadParaFile(dir / "in.param");
}

TEST(ParaFile, OnlyClusterTypeGivesTheDefaultFile) {
    const TempDir dir;
    CPara para;
    ASSERT_TRUE(ReadText(para, "cluster_type=0\n"));
    ASSERT_TRUE(para.WriteParaFile(dir / "out.param"));
    EXPECT_EQ(ReadFile(dir / "out.param"), ReadFile(SourceFile("params/golden/cluster_type_0.param")));
}

TEST(ParaFile, MissingFileChangesNothing) {
    CPara para;
    EXPECT_FALSE(para.ReadParaFile("/nonexistent/speclink/params.txt"));
    EXPECT_EQ(para.engine, nullptr);
    EXPECT_EQ(para.similarity, nullptr);
    EXPECT_EQ(para.peak_select, nullptr);
    EXPECT_EQ(para.spectra_process, nullptr);
    EXPECT_EQ(para.representative_spectra, nullptr);
}

TEST(ParaFile, WriteRefusesMissingObjectsAndBadUnits) {
    const TempDir dir;
    CPara para;
    EXPECT_FALSE(para.WriteParaFile(dir / "empty.param"));
    EXPECT_FALSE(std::filesystem::exists(dir / "empty.param"));

    ASSERT_TRUE(ReadText(para, "cluster_type=1\n"));
    para.similarity->fragment_ion_tol_type = static_cast<Tolerance_Type>(2);
    EXPECT_FALSE(para.WriteParaFile(dir / "unit.param"));
    para.similarity->fragment_ion_tol_type = TOLERANCE_PPM;
    EXPECT_TRUE(para.WriteParaFile(dir / "unit.param"));
    EXPECT_FALSE(para.WriteParaFile((dir.path() / "missing-dir" / "x.param").string()));
}

TEST(ParaFile, ClusterTypeChoosesTheEngine) {
    CPara para;
    ASSERT_TRUE(ReadText(para, "[cluster]\ncluster_type=1\nconsensus_type=2\nconsensus_fragment_tol=0.3\n"));
    ASSERT_NE(dynamic_cast<CModificationCluster*>(para.engine), nullptr);
    EXPECT_EQ(para.engine->representative_spectra, nullptr);
    EXPECT_EQ(para.engine->spectra_process, para.spectra_process);
    // The consensus keys still reach the parameter set's own consensus builder.
    EXPECT_EQ(para.representative_spectra->consensus_type, 2);
    EXPECT_EQ(para.representative_spectra->consensus_fragment_tol, 0.3);

    // The last cluster_type line decides, whatever its section.
    ASSERT_TRUE(ReadText(para, "[file]\ncluster_type=1\n[modification]\ncluster_type=0\n"));
    ASSERT_NE(dynamic_cast<CHierarchicalCluster*>(para.engine), nullptr);
    EXPECT_EQ(para.engine->representative_spectra, para.representative_spectra);

    // No cluster_type line: a clustering run.
    ASSERT_TRUE(ReadText(para, "[cluster]\nthreshold=0.7\n"));
    ASSERT_NE(dynamic_cast<CHierarchicalCluster*>(para.engine), nullptr);
    EXPECT_EQ(para.engine->threshold, 0.7);
}

TEST(ParaFile, UnknownClusterTypeIsRefusedAndChangesNothing) {
    CPara para;
    ASSERT_TRUE(ReadText(para, "cluster_type=0\n"));
    CCluster* before = para.engine;
    EXPECT_FALSE(ReadText(para, "[cluster]\ncluster_type=2\n"));
    EXPECT_EQ(para.engine, before);
}

// One line, or a few, inside a file: what they do to the settings.
struct LineCase {
    const char* name;
    const char* content;
    void (*check)(const CPara&);
};

void PrintTo(const LineCase& line_case, std::ostream* os) { *os << line_case.name; }

class ParaFileLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(ParaFileLines, Apply) {
    CPara para;
    ASSERT_TRUE(ReadText(para, GetParam().content));
    GetParam().check(para);
}

const LineCase kLineCases[] = {
    {"FragmentUnitKeyInCapitals", "cluster_type=0\n[similarity]\nFRAGMENT_ION_TOL_TYPE=Da\n",
     [](const CPara& p) { EXPECT_EQ(p.similarity->fragment_ion_tol_type, TOLERANCE_DA); }},
    {"FragmentUnitPpm", "[similarity]\nfragment_ion_tol_type=PPM\n",
     [](const CPara& p) { EXPECT_EQ(p.similarity->fragment_ion_tol_type, TOLERANCE_PPM); }},
    {"PrecursorUnitUnderReadersKey", "[cluster]\nprecursor_ion_type=Da\n",
     [](const CPara& p) { EXPECT_EQ(p.engine->precursor_ion_tol_type, TOLERANCE_DA); }},
    {"PrecursorUnitNoNameMatches", "[cluster]\nprecursor_ion_type=mz\n",
     [](const CPara& p) { EXPECT_EQ(p.engine->precursor_ion_tol_type, TOLERANCE_PPM); }},
    {"PrecursorUnitUnderWritersKeyIsIgnored", "[cluster]\nprecursor_ion_tol_type=Da\n",
     [](const CPara& p) { EXPECT_EQ(p.engine->precursor_ion_tol_type, TOLERANCE_PPM); }},
    {"EmptyUnitMatchesBothNames", "[similarity]\nfragment_ion_tol_type=\n",
     [](const CPara& p) { EXPECT_EQ(p.similarity->fragment_ion_tol_type, TOLERANCE_PPM); }},
    {"PartialUnitName", "[similarity]\nfragment_ion_tol_type=p\n[cluster]\nconsensus_fragment_tol_type=d\n",
     [](const CPara& p) {
         EXPECT_EQ(p.similarity->fragment_ion_tol_type, TOLERANCE_PPM);
         EXPECT_EQ(p.representative_spectra->consensus_fragment_tol_type, TOLERANCE_DA);
     }},
    {"KeyInTheWrongSection", "[similarity]\nthreshold=0.9\n[file]\nsimilar_method=4\n",
     [](const CPara& p) {
         EXPECT_EQ(p.engine->threshold, 0.6);
         EXPECT_EQ(p.similarity->similar_method, SIMILAR_DOT_PRODUCT);
     }},
    {"KeyBeforeAnySection", "threshold=0.9\n",
     [](const CPara& p) { EXPECT_EQ(p.engine->threshold, 0.6); }},
    {"DirectoryLowerCasedWithoutBlanksAndComment", "[file]\ndata_directory=/Data/MyRun   \t # raw spectra\n",
     [](const CPara& p) { EXPECT_EQ(p.spectra_process->data_directory, "/data/myrun"); }},
    {"SectionInTheMiddleOfALine", "some text [file] more text\ncluster_result=Out.CSV\n",
     [](const CPara& p) { EXPECT_EQ(p.spectra_process->cluster_result, "out.csv"); }},
    {"RepeatedKeyTakesTheLastValue", "[cluster]\nthreshold=0.7\nthreshold=0.8\n",
     [](const CPara& p) { EXPECT_EQ(p.engine->threshold, 0.8); }},
    {"FirstKeyOfTheSectionWins", "[cluster]\ncluster_method=1 threshold=0.9\nconsensus_type=1 threshold=0.9\n",
     [](const CPara& p) {
         EXPECT_EQ(p.engine->threshold, 0.6);
         EXPECT_EQ(p.representative_spectra->consensus_type, 1);
     }},
    {"NoModificationSection", "[cluster]\ncluster_type=1\n",
     [](const CPara& p) {
         EXPECT_EQ(p.engine->lower_mass, 0);
         EXPECT_EQ(p.engine->upper_mass, 0);
         EXPECT_EQ(p.engine->cluster_masses_tol, 0.01);
     }},
    {"OnlyHeadersKeepTheEngineMasses", "[cluster]\n[modification]\n",
     [](const CPara& p) {
         EXPECT_EQ(p.engine->lower_mass, 6);
         EXPECT_EQ(p.engine->upper_mass, 200);
     }},
    {"CollectedMasses", "[modification]\nlower_mass=10\nupper_mass=150\ncluster_masses_tol=0.02\n[file]\n",
     [](const CPara& p) {
         EXPECT_EQ(p.engine->lower_mass, 10);
         EXPECT_EQ(p.engine->upper_mass, 150);
         EXPECT_EQ(p.engine->cluster_masses_tol, 0.02);
     }},
    {"NumbersAsAtoiAndAtof", "[preprocessing]\nwhole_top_peak_num= 42abc\npart_top_peak_num=x\n[cluster]\nthreshold=.75e0z\n",
     [](const CPara& p) {
         EXPECT_EQ(p.peak_select->whole_top_peak_num, 42);
         EXPECT_EQ(p.peak_select->part_top_peak_num, 0);
         EXPECT_EQ(p.engine->threshold, 0.75);
     }},
    {"CrLfLineEnds", "[cluster]\r\nthreshold=0.7\r\n[file]\r\ncluster_result=a.csv\r\n",
     [](const CPara& p) {
         EXPECT_EQ(p.engine->threshold, 0.7);
         EXPECT_EQ(p.spectra_process->cluster_result, "a.csv");
     }},
    {"CommentedOutKey", "[cluster]\n# threshold=0.9\n",
     [](const CPara& p) { EXPECT_EQ(p.engine->threshold, 0.6); }},
};

INSTANTIATE_TEST_SUITE_P(Cases, ParaFileLines, ::testing::ValuesIn(kLineCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ParaFile, LongLineIsReadInPieces) {
    // 259 characters fill one read; the rest of the line arrives as a line of its own,
    // so a key placed after them is seen on its own "line".
    CPara para;
    const std::string filler(259 - std::string("cluster_result=").size(), 'x');
    ASSERT_TRUE(ReadText(para, "[file]\ncluster_result=" + filler + "data_directory=tail\n"));
    EXPECT_EQ(para.spectra_process->cluster_result, filler);
    EXPECT_EQ(para.spectra_process->data_directory, "tail");
}

TEST(ParaFile, RoundTripKeepsEverySettingButTheDocumentedLosses) {
    const TempDir dir;
    CPara written;
    written.SetDataClass(FORMAT_MZML, "/Data/Run1", "/Out/Run1", "Result.CSV", 7);
    written.SetRepresentativeClass(CONSENSUS_SPECTRA_AND_REPRESENTATIVES, 0.25, TOLERANCE_PPM);
    written.SetCluster(written.spectra_process, written.representative_spectra, CLUSTER_MODIFICATION, 0.123,
                       TOLERANCE_DA, 0.456);
    written.engine->lower_mass = 10;
    written.engine->upper_mass = 150;
    written.engine->cluster_masses_tol = 0.0125;
    written.SetSimilarMethod(SIMILAR_BONANZA, 0.346, TOLERANCE_PPM);
    written.SetPeakSelect(PEAK_SELECT_WHOLE_TOP, 40, 6, 80);
    ASSERT_TRUE(written.WriteParaFile(dir / "p.param"));

    CPara read;
    ASSERT_TRUE(read.ReadParaFile(dir / "p.param"));
    EXPECT_EQ(read.spectra_process->data_type, FORMAT_MZML);
    EXPECT_EQ(read.spectra_process->data_directory, "/data/run1");
    EXPECT_EQ(read.spectra_process->out_directory, "/out/run1");
    EXPECT_EQ(read.spectra_process->cluster_result, "result.csv");
    EXPECT_EQ(read.spectra_process->small_peaks_count_filter, 7);
    EXPECT_EQ(read.peak_select->peak_select_method, PEAK_SELECT_WHOLE_TOP);
    EXPECT_EQ(read.peak_select->whole_top_peak_num, 40);
    EXPECT_EQ(read.peak_select->part_top_peak_num, 6);
    EXPECT_EQ(read.peak_select->part_top_peak_per_num, 80);
    EXPECT_EQ(read.similarity->similar_method, SIMILAR_BONANZA);
    EXPECT_EQ(read.similarity->fragment_ion_tol, 0.35);  // two decimals
    EXPECT_EQ(read.similarity->fragment_ion_tol_type, TOLERANCE_PPM);
    EXPECT_EQ(read.engine->cluster_type, 1);
    EXPECT_EQ(read.engine->precursor_ion_tol, 0.12);
    EXPECT_EQ(read.engine->precursor_ion_tol_type, TOLERANCE_PPM);  // written under another key
    EXPECT_EQ(read.engine->threshold, 0.46);
    EXPECT_EQ(read.representative_spectra->consensus_type, 2);
    EXPECT_EQ(read.representative_spectra->consensus_fragment_tol, 0.25);
    EXPECT_EQ(read.representative_spectra->consensus_fragment_tol_type, TOLERANCE_PPM);
    EXPECT_EQ(read.engine->lower_mass, 10);
    EXPECT_EQ(read.engine->upper_mass, 150);
    EXPECT_EQ(read.engine->cluster_masses_tol, 0.0125);

    // Written again, the file differs from the first only by those losses.
    ASSERT_TRUE(read.WriteParaFile(dir / "q.param"));
    std::string first = ReadFile(dir / "p.param");
    const std::string second = ReadFile(dir / "q.param");
    for (const char* mixed : {"/Data/Run1", "/Out/Run1", "Result.CSV"}) {
        std::string lower = mixed;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        first.replace(first.find(mixed), lower.size(), lower);
    }
    first.replace(first.find("precursor_ion_tol_type=Da"), 25, "precursor_ion_tol_type=ppm");
    EXPECT_EQ(first, second);
}

}  // namespace
}  // namespace speclink
