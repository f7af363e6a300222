// The speclink command as a user meets it: options, messages, exit statuses, files.

#include <gtest/gtest.h>

#include <filesystem>

#include "speclink/tests/cli/CommandRunner.h"
#include "speclink/cli/ExitCodes.h"

namespace speclink::cli {
namespace {

namespace fs = std::filesystem;
using speclink::test::ReadFile;
using speclink::test::SourceFile;
using speclink::test::TempDir;
using speclink::test::WriteFile;
using test::kSmallMgf;
using test::RunCommand;


TEST(Command, ClustersAndSummarises) {
    const TempDir dir;
    WriteFile(dir / "small.mgf", kSmallMgf);
    const auto outcome = RunCommand({"cluster", dir / "small.mgf", "-o", dir / "out"});
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
}

TEST(Command, KeepOrderSweepsInInputOrder) {
    const TempDir dir;
    WriteFile(dir / "small.mgf", kSmallMgf);
    ASSERT_EQ(RunCommand({"cluster", dir / "small.mgf", "-o", dir / "out", "--keep-order"}).code, EXIT_OK);
    // Scan 3 now lies between the others and splits the precursor group.
    const std::string result = ReadFile(dir.path() / "out" / "clusters.csv");
    EXPECT_EQ(result.substr(0, result.find('\n')), "1,small.1.1.2.dta,1,999.492724");
    EXPECT_NE(result.find("small.4.4.2.dta,3,"), std::string::npos) << result;
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

// Each bad input: the exit status and a part of the message that names what is wrong.
struct BadInput {
    const char* name;
    std::string content;
    int code;
    const char* message;
};

void PrintTo(const BadInput& bad, std::ostream* os) { *os << bad.name; }

class BadInputs : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadInputs, AreReportedAndExitNonZero) {
    const TempDir dir;
    WriteFile(dir / "in.mgf", GetParam().content);
    const auto outcome = RunCommand({"cluster", dir / "in.mgf", "-o", dir / "out"});
    EXPECT_EQ(outcome.code, GetParam().code) << outcome.err;
    EXPECT_NE(outcome.err.find(GetParam().message), std::string::npos) << outcome.err;
    EXPECT_FALSE(fs::exists(dir.path() / "out" / "clusters.csv"));
}

const BadInput kBadInputs[] = {
    {"EmptyFile", "", EXIT_INPUT, "empty"},
    {"Truncated", "BEGIN IONS\nPEPMASS=500\nCHARGE=2+\n100 1\n", EXIT_INPUT, "in.mgf:"},
    {"BinaryGarbage", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), EXIT_INPUT, "in.mgf"},
    {"MegabyteLine", std::string(1 << 20, 'x'), EXIT_INPUT, "in.mgf:1:"},
    {"MissingPrecursor", "BEGIN IONS\nCHARGE=2+\n100 1\nEND IONS\n", EXIT_INPUT, "PEPMASS"},
    {"ChargeZeroIsSkippedAndCounted", "BEGIN IONS\nPEPMASS=500\nCHARGE=0\n100 1\nEND IONS\n", EXIT_INPUT,
     "no spectra to work on"},
    {"NegativeIntensity", "BEGIN IONS\nPEPMASS=500\nCHARGE=2+\n100 -1\nEND IONS\n", EXIT_INPUT, "in.mgf:4:"},
    {"NanIntensity", "BEGIN IONS\nPEPMASS=500\nCHARGE=2+\n100 nan\nEND IONS\n", EXIT_INPUT, "in.mgf:4:"},
};

INSTANTIATE_TEST_SUITE_P(Cases, BadInputs, ::testing::ValuesIn(kBadInputs),
                         [](const auto& info) { return std::string(info.param.name); });

// Usage errors: the exit status 2 and a part of the message.
TEST(Command, UsageErrors) {
    const TempDir dir;
    WriteFile(dir / "small.mgf", kSmallMgf);
    const std::string in = dir / "small.mgf";
    const std::string out = dir / "out";
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"cluster", in, "-o", out, "--no-such-option"}, "--no-such-option"},
        {{"cluster", in}, "--out is required"},
        {{"cluster", dir / "missing.mgf", "-o", out}, "missing.mgf"},
        {{}, "A subcommand is required"},
        {{"cluster", in, "-o", out, "--precursor-tol", "20"}, "20ppm"},
        {{"modsearch", in, "-o", out, "--method", "cosine"}, "Dot Product"},
        {{"cluster", in, "-o", out, "--threshold", "1.5"}, "--threshold: must lie in 0 to 1"},
        {{"cluster", in, "-o", out, "--part-top-peaks", "0"}, "--part-top-peaks: must be at least 1"},
        // Options the job does not use are not taken.
        {{"cluster", in, "-o", out, "--method", "6"}, "--method"},
        {{"cluster", in, "-o", out, "--fragment-tol", "2Da"}, "--fragment-tol"},
        {{"modsearch", in, "-o", out, "--precursor-tol", "10ppm"}, "--precursor-tol"},
        {{"modsearch", in, "-o", out, "--shift-search", "--upper-mass", "500"},
         "--upper-mass does not apply here: the shift search always scores 6 to 200 Da"},
        {{"modsearch", in, "-o", out, "--shift-search", "--method", "2"}, "--method does not apply here"},
    };
    for (const auto& c : cases) {
        const auto outcome = RunCommand(c.args);
        EXPECT_EQ(outcome.code, EXIT_USAGE) << c.message;
        EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
    }
    EXPECT_FALSE(fs::exists(out));
}

// Each subcommand's help shows the options it uses and no other.
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

TEST(Command, UnwritableOutputDirectory) {
    const TempDir dir;
    WriteFile(dir / "small.mgf", kSmallMgf);
    WriteFile(dir / "file", "not a directory");
    const auto outcome = RunCommand({"cluster", dir / "small.mgf", "-o", (dir.path() / "file" / "out").string()});
    EXPECT_EQ(outcome.code, EXIT_OUTPUT);
    EXPECT_NE(outcome.err.find("cannot create the output directory"), std::string::npos) << outcome.err;
}

TEST(Command, NeverWritesOverAnInput) {
    const TempDir dir;
    WriteFile(dir / "small.mgf", kSmallMgf);
    const auto outcome = RunCommand({"cluster", dir / "small.mgf", "-o", dir.path().string()});
    EXPECT_EQ(outcome.code, EXIT_USAGE);
    EXPECT_NE(outcome.err.find("no input is overwritten"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "small.mgf"), kSmallMgf);
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

}  // namespace
}  // namespace speclink::cli
