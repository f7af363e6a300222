// The speclink command as a user meets it: options, messages, exit statuses, files, and each
// way a run is refused before any work.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "speclink/cli/ExitCodes.h"
#include "speclink/tests/cli/CommandRunner.h"

namespace speclink::cli {
namespace {

namespace fs = std::filesystem;
using speclink::test::ReadFile;
using speclink::test::SourceFile;
using speclink::test::TempDir;
using speclink::test::WriteFile;
using test::kSmallMgf;
using test::RunCommand;

// A precursor group of exactly --max-group-size spectra is clustered.
TEST(Command, ClustersAndSummarises) {
    const TempDir dir;
    WriteFile(dir / "small.mgf", kSmallMgf);
    const auto outcome = RunCommand({"cluster", dir / "small.mgf", "-o", dir / "out", "--max-group-size", "3"});
    ASSERT_EQ(outcome.code, EXIT_OK) << outcome.err;
    // Sorted by charge and mass: scans 1, 2, 4 form one cluster, scan 3 stands alone. Scan 4
    // is closest to scan 1 and joins its chain first.
    EXPECT_EQ(ReadFile(dir.path() / "out" / "clusters.csv"),
              "1,small.1.1.2.dta,1,999.492724\n2,small.4.4.2.dta,1,999.493124\n3,small.2.2.2.dta,1,999.492924\n"
              "4,small.3.3.2.dta,2,1399.992724\n");
    EXPECT_EQ(outcome.out.find("speclink cluster: 4 spectra in 2 clusters; 75.0% clustered (in clusters of two or "
                               "more), largest cluster 3\n"),
              0u)
        << outcome.out;
    EXPECT_NE(outcome.out.find("small.mgf: 4 spectra, 4 records, 0 skipped"), std::string::npos) << outcome.out;
    EXPECT_NE(outcome.out.find("consensus.mgf        1 consensus spectra"), std::string::npos) << outcome.out;
    EXPECT_TRUE(fs::exists(dir.path() / "out" / "speclink.params"));
    EXPECT_FALSE(fs::exists(dir.path() / "out" / "1.2-4.2-2.2.dta"));

    // DTA files only when asked for.
    const auto dta = RunCommand({"cluster", dir / "small.mgf", "-o", dir / "dta", "--dta"});
    ASSERT_EQ(dta.code, EXIT_OK) << dta.err;
    EXPECT_NE(dta.out.find("Clustering done!\nGenerating consensus spectra...\n"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir.path() / "dta" / "1.2-4.2-2.2.dta"));
    EXPECT_TRUE(fs::exists(dir.path() / "dta" / "small.3.3.2.dta"));

    // In input order scan 3 lies between the others and splits the precursor group.
    ASSERT_EQ(RunCommand({"cluster", dir / "small.mgf", "-o", dir / "kept", "--keep-order"}).code, EXIT_OK);
    const std::string kept = ReadFile(dir.path() / "kept" / "clusters.csv");
    EXPECT_EQ(kept.substr(0, kept.find('\n')), "1,small.1.1.2.dta,1,999.492724");
    EXPECT_NE(kept.find("small.4.4.2.dta,3,"), std::string::npos) << kept;
}

TEST(Command, DefaultParameterFile) {
    const auto outcome = RunCommand({"params"});
    ASSERT_EQ(outcome.code, EXIT_OK);
    EXPECT_EQ(outcome.out, ReadFile(SourceFile("cli/golden/default.param")));
}

TEST(Command, ParametersAreReadAsTheLibraryReadsThem) {
    const TempDir dir;
    WriteFile(dir / "in.param", "[Cluster]\nCLUSTER_TYPE=1\nthreshold=0.75 # stricter\n[file]\nout_directory=/Some/Where\n");
    const auto outcome = RunCommand({"params", dir / "in.param", "-o", dir / "out.param"});
    ASSERT_EQ(outcome.code, EXIT_OK) << outcome.err;
    EXPECT_NE(outcome.err.find("in.param:5: the library stores out_directory in lower case: '/some/where'"),
              std::string::npos)
        << outcome.err;
    const std::string written = ReadFile(dir / "out.param");
    EXPECT_NE(written.find("cluster_type=1\n"), std::string::npos);
    EXPECT_NE(written.find("threshold=0.75\n"), std::string::npos);
    EXPECT_NE(written.find("out_directory=/some/where\n"), std::string::npos);
    EXPECT_NE(written.find("lower_mass=0\n"), std::string::npos);  // no [modification] section
}

TEST(Command, OptionsOverrideTheParameterFileAndKeepPathCase) {
    const TempDir dir;
    WriteFile(dir / "in.param", "[cluster]\ncluster_type=0\nthreshold=0.75\n");
    const auto outcome =
        RunCommand({"params", dir / "in.param", "--threshold", "0.5", "--method", "dot product x", "--precursor-tol",
                    "0.05Da", "--result", "Mixed/Case.csv", "-o", dir / "out.param"});
    ASSERT_EQ(outcome.code, EXIT_OK) << outcome.err;
    const std::string written = ReadFile(dir / "out.param");
    EXPECT_NE(written.find("threshold=0.5\n"), std::string::npos) << written;
    EXPECT_NE(written.find("similar_method=4\n"), std::string::npos);
    EXPECT_NE(written.find("precursor_ion_tol=0.05\nprecursor_ion_tol_type=Da\nprecursor_ion_type=Da\n"),
              std::string::npos);
    EXPECT_NE(written.find("cluster_result=Mixed/Case.csv\n"), std::string::npos);
}

TEST(Command, RunFollowsTheParameterFile) {
    const TempDir dir;
    WriteFile(dir / "small.mgf", kSmallMgf);
    WriteFile(dir / "mod.param", "[cluster]\ncluster_type=1\nthreshold=0.0\n[modification]\nlower_mass=6\nupper_mass=500\n");
    // The sections it lacks leave defaults in force, which the file does not say.
    const auto refused = RunCommand({"run", dir / "mod.param", dir / "small.mgf", "-o", dir / "out"});
    EXPECT_EQ(refused.code, EXIT_USAGE);
    EXPECT_NE(refused.err.find("mod.param: section [similarity] is missing: the library uses similarity method 1"),
              std::string::npos)
        << refused.err;
    EXPECT_FALSE(fs::exists(dir.path() / "out" / "pairs.csv"));
    const auto outcome = RunCommand({"run", dir / "mod.param", dir / "small.mgf", "-o", dir / "out", "--lenient"});
    ASSERT_EQ(outcome.code, EXIT_OK) << outcome.err;
    EXPECT_TRUE(fs::exists(dir.path() / "out" / "pairs.csv"));
    EXPECT_TRUE(fs::exists(dir.path() / "out" / "temp.temp"));
    EXPECT_TRUE(fs::exists(dir.path() / "out" / "score.txt"));
    EXPECT_NE(outcome.out.find("pairs listed"), std::string::npos) << outcome.out;
}

TEST(Command, ScoresTwoSpectra) {
    const TempDir dir;
    WriteFile(dir / "small.mgf", kSmallMgf);
    const auto outcome = RunCommand({"score", dir / "small.mgf:1", dir / "small.mgf:scan=2", "--method", "1"});
    ASSERT_EQ(outcome.code, EXIT_OK) << outcome.err;
    EXPECT_NE(outcome.out.find("1 Dot Product       0.99"), std::string::npos) << outcome.out;
}

TEST(Command, HelpShowsWhatTheJobUses) {
    const auto cluster = RunCommand({"cluster", "--help"});
    EXPECT_EQ(cluster.code, EXIT_OK);
    EXPECT_NE(cluster.out.find("--precursor-tol TOL=20ppm"), std::string::npos) << cluster.out;
    EXPECT_EQ(cluster.out.find("--method"), std::string::npos);
    EXPECT_EQ(cluster.out.find("--upper-mass"), std::string::npos);
    const auto modsearch = RunCommand({"modsearch", "--help"});
    EXPECT_NE(modsearch.out.find("--upper-mass INT=200"), std::string::npos) << modsearch.out;
    EXPECT_EQ(modsearch.out.find("--precursor-tol"), std::string::npos);
    const auto simulate = RunCommand({"simulate", "--help"});
    EXPECT_NE(simulate.out.find("-n,--spectra INT:INT in [1 - 100000000] REQUIRED"), std::string::npos) << simulate.out;
    const auto version = RunCommand({"--version"});
    EXPECT_EQ(version.code, EXIT_OK);
    EXPECT_NE(version.out.find("speclink "), std::string::npos);
}

TEST(Command, AssignedChargesMakeOneRecordPerCharge) {
    const TempDir dir;
    WriteFile(dir / "nocharge.mgf", "BEGIN IONS\nPEPMASS=500\n100 1\n200 2\nEND IONS\n");
    const auto skipped = RunCommand({"cluster", dir / "nocharge.mgf", "-o", dir / "a"});
    EXPECT_EQ(skipped.code, EXIT_INPUT);
    EXPECT_NE(skipped.err.find("1 skipped (1 without charge)"), std::string::npos) << skipped.err;
    const auto assigned = RunCommand({"cluster", dir / "nocharge.mgf", "-o", dir / "b", "--charge", "2,3"});
    ASSERT_EQ(assigned.code, EXIT_OK) << assigned.err;
    EXPECT_EQ(ReadFile(dir.path() / "b" / "clusters.csv"),
              "1,nocharge.1.1.2.dta,1,998.992724\n2,nocharge.1.1.3.dta,2,1497.985447\n");
}

// A run refused before any work: its exit status and a part of its message. "{dir}" stands
// for the test's directory, which holds small.mgf, a plain file "file", keep.csv, an empty
// folder "empty-dir" and a folder "held" that holds a folder "taken".
struct Refusal {
    const char* name;
    std::vector<std::string> args;
    int code;
    std::string message;
    std::string input = kSmallMgf;  // what small.mgf holds
};

void PrintTo(const Refusal& refusal, std::ostream* os) { *os << refusal.name; }

std::string InDir(std::string text, const std::string& dir) {
    for (auto at = text.find("{dir}"); at != std::string::npos; at = text.find("{dir}", at + dir.size())) {
        text.replace(at, 5, dir);
    }
    return text;
}

class Refused : public ::testing::TestWithParam<Refusal> {};

// Nothing is written where a result goes, and no file of the user's is changed.
TEST_P(Refused, BeforeAnyWorkWithAMessage) {
    const Refusal& refusal = GetParam();
    const TempDir dir;
    WriteFile(dir / "small.mgf", refusal.input);
    WriteFile(dir / "file", "not a directory");
    WriteFile(dir / "keep.csv", "precious\n");
    fs::create_directories(dir.path() / "held" / "taken");
    fs::create_directory(dir.path() / "empty-dir");
    std::vector<std::string> args;
    for (const std::string& arg : refusal.args) args.push_back(InDir(arg, dir.path().string()));
    const auto outcome = RunCommand(args);
    EXPECT_EQ(outcome.code, refusal.code) << outcome.err;
    EXPECT_NE(outcome.err.find(InDir(refusal.message, dir.path().string())), std::string::npos) << outcome.err;
    EXPECT_EQ(ReadFile(dir / "small.mgf"), refusal.input);
    EXPECT_EQ(ReadFile(dir / "keep.csv"), "precious\n");
    EXPECT_TRUE(fs::is_directory(dir.path() / "held" / "taken"));
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    EXPECT_FALSE(fs::exists(dir.path() / "out" / "clusters.csv"));
}

constexpr const char* kIn = "{dir}/small.mgf";
constexpr const char* kOut = "{dir}/out";

const Refusal kRefusals[] = {
    {"UnknownOption", {"cluster", kIn, "-o", kOut, "--no-such-option"}, EXIT_USAGE, "--no-such-option"},
    {"NoOutput", {"cluster", kIn}, EXIT_USAGE, "--out is required"},
    {"NoSuchInput", {"cluster", "{dir}/missing.mgf", "-o", kOut}, EXIT_USAGE, "missing.mgf"},
    {"NoSubcommand", {}, EXIT_USAGE, "A subcommand is required"},
    {"ToleranceWithoutUnit", {"cluster", kIn, "-o", kOut, "--precursor-tol", "20"}, EXIT_USAGE, "20ppm"},
    {"UnknownMethod", {"modsearch", kIn, "-o", kOut, "--method", "cosine"}, EXIT_USAGE, "Dot Product"},
    {"ThresholdAboveOne", {"cluster", kIn, "-o", kOut, "--threshold", "1.5"}, EXIT_USAGE,
     "--threshold: must lie in 0 to 1"},
    {"NoPeaksPerWindow", {"cluster", kIn, "-o", kOut, "--part-top-peaks", "0"}, EXIT_USAGE,
     "--part-top-peaks: must be at least 1"},
    {"NoGroupSize", {"cluster", kIn, "-o", kOut, "--max-group-size", "0"}, EXIT_USAGE, "--max-group-size"},
    // Options the job does not use are not taken.
    {"MethodOfClustering", {"cluster", kIn, "-o", kOut, "--method", "6"}, EXIT_USAGE, "--method"},
    {"FragmentTolOfClustering", {"cluster", kIn, "-o", kOut, "--fragment-tol", "2Da"}, EXIT_USAGE, "--fragment-tol"},
    {"PrecursorTolOfSearch", {"modsearch", kIn, "-o", kOut, "--precursor-tol", "10ppm"}, EXIT_USAGE,
     "--precursor-tol"},
    {"UpperMassOfShiftSearch", {"modsearch", kIn, "-o", kOut, "--shift-search", "--upper-mass", "500"}, EXIT_USAGE,
     "--upper-mass does not apply here: the shift search always scores 6 to 200 Da"},
    {"MethodOfShiftSearch", {"modsearch", kIn, "-o", kOut, "--shift-search", "--method", "2"}, EXIT_USAGE,
     "--method does not apply here"},
    // Results go only into the output directory, never over an input, a device or a file
    // speclink did not write.
    {"OutputDirectoryOfAnInput", {"cluster", kIn, "-o", "{dir}"}, EXIT_USAGE, "no input is overwritten"},
    {"ResultOnADevice", {"cluster", kIn, "-o", kOut, "--result", "/dev/full"}, EXIT_USAGE,
     "the result file '/dev/full' must be a plain file name"},
    {"ResultBesideTheOutput", {"cluster", kIn, "-o", kOut, "--result", "../keep.csv"}, EXIT_USAGE,
     "the result file '../keep.csv' must be a plain file name"},
    {"ResultElsewhere", {"cluster", kIn, "-o", kOut, "--result", "{dir}/keep.csv"}, EXIT_USAGE,
     "the result file '{dir}/keep.csv' must be a plain file name"},
    {"ResultInAFolder", {"cluster", kIn, "-o", kOut, "--result", "missing/r.csv"}, EXIT_USAGE,
     "the result file 'missing/r.csv' must be a plain file name"},
    {"ClusteringOverAForeignFile", {"cluster", kIn, "-o", "{dir}/held", "--result", "taken"}, EXIT_USAGE,
     "already holds taken, which speclink did not write"},
    {"SearchOverAForeignFile", {"modsearch", kIn, "-o", "{dir}/held", "--result", "taken"}, EXIT_USAGE,
     "already holds taken, which speclink did not write"},
    {"OutputBelowAFile", {"cluster", kIn, "-o", "{dir}/file/out"}, EXIT_OUTPUT,
     "speclink: error: cannot create the output directory {dir}/file/out"},
    {"OutputBelowADevice", {"cluster", kIn, "-o", "/dev/full/out"}, EXIT_OUTPUT,
     "speclink: error: cannot create the output directory /dev/full/out"},
    {"OutputIsTheInput", {"cluster", kIn, "-o", kIn}, EXIT_OUTPUT,
     "speclink: error: cannot create the output directory {dir}/small.mgf"},
    // Inputs that cannot be read, or hold nothing to work on.
    {"EmptyFile", {"cluster", kIn, "-o", kOut}, EXIT_INPUT, "empty", ""},
    {"Truncated", {"cluster", kIn, "-o", kOut}, EXIT_INPUT, "small.mgf:", "BEGIN IONS\nPEPMASS=500\nCHARGE=2+\n100 1\n"},
    {"BinaryGarbage", {"cluster", kIn, "-o", kOut}, EXIT_INPUT, "small.mgf",
     std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)},
    {"MegabyteLine", {"cluster", kIn, "-o", kOut}, EXIT_INPUT, "small.mgf:1:", std::string(1 << 20, 'x')},
    {"MissingPrecursor", {"cluster", kIn, "-o", kOut}, EXIT_INPUT, "PEPMASS", "BEGIN IONS\nCHARGE=2+\n100 1\nEND IONS\n"},
    {"ChargeZeroIsSkippedAndCounted", {"cluster", kIn, "-o", kOut}, EXIT_INPUT, "no spectra to work on",
     "BEGIN IONS\nPEPMASS=500\nCHARGE=0\n100 1\nEND IONS\n"},
    {"NegativeIntensity", {"cluster", kIn, "-o", kOut}, EXIT_INPUT, "small.mgf:4:",
     "BEGIN IONS\nPEPMASS=500\nCHARGE=2+\n100 -1\nEND IONS\n"},
    {"NanIntensity", {"cluster", kIn, "-o", kOut}, EXIT_INPUT, "small.mgf:4:",
     "BEGIN IONS\nPEPMASS=500\nCHARGE=2+\n100 nan\nEND IONS\n"},
    // The kernel refuses reads of this file at offset 0, after it was opened.
    {"ReadingFails", {"cluster", "/proc/self/mem", "-o", kOut}, EXIT_INPUT,
     "speclink: error: /proc/self/mem:byte 0: read error: Input/output error"},
    {"DirectoryWithoutSpectra", {"cluster", "{dir}/empty-dir", "-o", kOut}, EXIT_INPUT,
     "empty-dir: directory holds no .dta files"},
    // Work too large to start names the group and the option.
    {"PrecursorGroupAboveTheLimit", {"cluster", kIn, "-o", kOut, "--max-group-size", "2"}, EXIT_LIMIT,
     "speclink: error: a precursor group of 3 spectra (charge 2, [M+H]+ from 999.4927 Da, first spectrum "
     "'small.1.1.2.dta', sweep positions 1 to 3) exceeds --max-group-size 2; clustering it takes 3 scores and 0.0 MB "
     "for its score triangle. Raise the limit with --max-group-size or narrow --precursor-tol."},
};

INSTANTIATE_TEST_SUITE_P(Runs, Refused, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace speclink::cli
