// Nothing lost, nothing misread: the parameter check, files that read back to the settings
// used, output directories of earlier runs, and runs interrupted by a signal or killed.

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "speclink/cli/ExitCodes.h"
#include "speclink/cli/OutputDirectory.h"
#include "speclink/cli/ParameterCheck.h"
#include "speclink/library/params/Para.h"
#include "speclink/tests/cli/CommandRunner.h"

namespace speclink::cli {
namespace {

namespace fs = std::filesystem;
using speclink::test::ReadFile;
using speclink::test::TempDir;
using speclink::test::WriteFile;
using test::kSmallMgf;
using test::RunCommand;

std::vector<ParameterFinding> Check(const std::string& text) {
    const TempDir dir;
    WriteFile(dir / "p.param", text);
    return CheckParameterFile(*ParameterFileReading::Read(dir / "p.param"));
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

// The file the command writes for the default settings: 34 lines, no finding.
const std::string kWritten = SettingsFileText(Settings{});

struct CheckCase {
    std::string name;
    std::string file;
    std::vector<std::pair<int, std::string>> findings;  ///< line (0: the whole file) and a part of the message
};

const std::vector<CheckCase>& CheckCases() {
    static const std::vector<CheckCase> cases{
        {"WrittenByTheCommand", kWritten, {}},
        {"BlanksAroundEquals", Replaced(kWritten, "cluster_type=0", "cluster_type = 1"),
         {{20, "blanks before '=': the library does not read this line; cluster_type is 0"}}},
        {"UnknownKey", Replaced(kWritten, "threshold=0.6", "threshhold=0.9"),
         {{28, "unknown key 'threshhold' (did you mean threshold=?): ignored; threshold is 0.6"}}},
        {"KeyInTheWrongSection", Replaced(kWritten, "[similarity]\n", "[similarity]\nthreshold=0.9\n"),
         {{16, "threshold belongs in [cluster], not [similarity]: ignored; threshold is 0.6"}}},
        {"ValueNotANumber", Replaced(kWritten, "threshold=0.6", "threshold=high"),
         {{28, "'high' is not a number; threshold is 0"}}},
        {"WholeNumberExpected", Replaced(kWritten, "upper_mass=200", "upper_mass=200.5"),
         {{31, "'200.5' is not a whole number; upper_mass is 200"}}},
        {"PrecursorUnitUnderTheWritersKey",
         Replaced(Replaced(kWritten, "precursor_ion_tol_type=ppm", "precursor_ion_tol_type=Da"),
                  "precursor_ion_type=ppm\n", ""),
         {{23, "the precursor unit under precursor_ion_tol_type=, which the library does not read (its key is "
               "precursor_ion_type=); the precursor unit is ppm"}}},
        {"RepeatedKey", Replaced(kWritten, "threshold=0.6", "threshold=0.6\nthreshold=0.7"),
         {{28, "threshold is given again on line 29, whose value the library takes; threshold is 0.7"}}},
        {"UnknownUnit", Replaced(kWritten, "fragment_ion_tol_type=Da", "fragment_ion_tol_type=mz"),
         {{18, "'mz' is not a unit (Da or ppm); fragment_ion_tol_type is Da"}}},
        {"NameInCapitals", Replaced(kWritten, "data_directory=", "data_directory=/Data/Run"),
         {{5, "the library stores data_directory in lower case: '/data/run'"}}},
        {"BeforeAnySection", "threshold=0.5\n" + kWritten, {{1, "before any section header: ignored"}}},
        {"ClusterTypeOutsideItsSection", Replaced(kWritten, "data_type=0", "cluster_type=1"),
         {{4, "cluster_type in [file]: the library still builds its engine from it (the last such line decides, "
              "type 0)"}}},
        {"OverLongLine", Replaced(kWritten, "[file]\n", "[file]\ndata_directory=" + std::string(300, 'd') + "\n"),
         {{4, "longer than 259 characters: the rest is read as a line of its own"}}},
        {"MissingSections",
         "[cluster]\ncluster_type=1\n",
         {{0, "section [file] is missing"},
          {0, "section [similarity] is missing: the library uses similarity method 1 at 0.5Da"},
          {0, "section [modification] is missing: the library uses lower_mass 0 and upper_mass 0 Da"}}},
        {"WindowKeysMissing", Replaced(kWritten, "upper_mass=200\n", ""),
         {{0, "section [modification] lacks lower_mass or upper_mass: the library uses lower_mass 6 and upper_mass 0"}}},
    };
    return cases;
}

class ParameterCheck : public testing::TestWithParam<CheckCase> {};

TEST_P(ParameterCheck, ReportsWhatTheLibraryReadsOtherwise) {
    const CheckCase& c = GetParam();
    const std::vector<ParameterFinding> findings = Check(c.file);
    for (const auto& [line, message] : c.findings) {
        const bool found = std::any_of(findings.begin(), findings.end(), [&](const ParameterFinding& f) {
            return f.line == line && f.message.find(message) != std::string::npos;
        });
        EXPECT_TRUE(found) << "line " << line << ": " << message << "\nfound:\n" << FormatFindings("p", findings);
    }
    // Nothing is reported about a line the case does not name.
    for (const ParameterFinding& finding : findings) {
        const bool named = std::any_of(c.findings.begin(), c.findings.end(),
                                       [&](const auto& expected) { return expected.first == finding.line; });
        EXPECT_TRUE(named) << finding.line << ": " << finding.message;
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, ParameterCheck, testing::ValuesIn(CheckCases()),
                         [](const testing::TestParamInfo<CheckCase>& info) { return info.param.name; });

TEST(ParameterCheck, TheLibrarysOwnFileInPpmGivesNoFinding) {
    const TempDir dir;
    CPara para;
    Settings{}.Configure(para);
    ASSERT_TRUE(para.WriteParaFile(dir / "library.param"));
    EXPECT_TRUE(CheckParameterFile(*ParameterFileReading::Read(dir / "library.param")).empty());
}

// Any settings, written by the command, read back to exactly themselves without a finding.
RC_GTEST_PROP(WrittenParameterFile, ReadsBackToTheSettingsUsed, ()) {
    Settings s;
    s.cluster_type = static_cast<Cluster_Type>(*rc::gen::inRange(0, 2));
    s.data_type = static_cast<MS2FormatType>(*rc::gen::inRange(0, 5));
    s.cluster_result = *rc::gen::element<std::string>("", "pairs.csv", "r.txt");
    s.small_peaks_count_filter = *rc::gen::inRange(-5, 50);
    s.peak_select_method = static_cast<Peak_Select_Method>(*rc::gen::inRange(0, 4));
    s.whole_top_peak_num = *rc::gen::inRange(1, 500);
    s.part_top_peak_num = *rc::gen::inRange(1, 50);
    s.part_top_peak_per_num = *rc::gen::inRange(1, 500);
    s.similar_method = static_cast<Similar_Method>(*rc::gen::inRange(0, 8));
    const auto unit = [] { return static_cast<Tolerance_Type>(*rc::gen::inRange(0, 2)); };
    const auto value = [] { return *rc::gen::inRange(1, 1000000) / *rc::gen::element(1.0, 7.0, 1000.0, 3.0e4); };
    s.fragment_ion_tol = {value(), unit()};
    s.precursor_ion_tol = {value(), unit()};
    s.consensus_type = static_cast<Representative_Spectra>(*rc::gen::inRange(0, 3));
    s.consensus_fragment_tol = {value(), unit()};
    s.threshold = *rc::gen::inRange(0, 1000000) / 999983.0;
    s.lower_mass = *rc::gen::inRange(-100, 100);
    s.upper_mass = *rc::gen::inRange(100, 5000);
    s.cluster_masses_tol = value() / 1000.0;
    const TempDir dir;
    WriteFile(dir / "p.param", SettingsFileText(s));
    const auto reading = ParameterFileReading::Read(dir / "p.param");
    RC_ASSERT(reading->settings() == s);
    RC_ASSERT(CheckParameterFile(*reading).empty());
    CPara para;
    RC_ASSERT(para.ReadParaFile(dir / "p.param"));
    RC_ASSERT(Settings::Of(para) == s);
}

// The files the command writes name the settings it used: params -o, and speclink.params
// with every input and the command line.
TEST(WrittenParameterFile, CommandFilesReadBack) {
    const TempDir dir;
    WriteFile(dir / "small.mgf", kSmallMgf);
    ASSERT_EQ(RunCommand({"params", "--precursor-tol", "0.05Da", "--fragment-tol", "20ppm", "--threshold",
                          "0.123456789", "--consensus-fragment-tol", "3ppm", "-o", dir / "p.param"})
                  .code,
              EXIT_OK);
    CPara para;
    ASSERT_TRUE(para.ReadParaFile(dir / "p.param"));
    const Settings read = Settings::Of(para);
    EXPECT_EQ(read.precursor_ion_tol, (Tolerance{0.05, TOLERANCE_DA}));
    EXPECT_EQ(read.fragment_ion_tol, (Tolerance{20.0, TOLERANCE_PPM}));
    EXPECT_EQ(read.consensus_fragment_tol, (Tolerance{3.0, TOLERANCE_PPM}));
    EXPECT_EQ(read.threshold, 0.123456789);
    // -o never replaces a file unasked.
    EXPECT_EQ(RunCommand({"params", "-o", dir / "p.param"}).code, EXIT_USAGE);

    ASSERT_EQ(RunCommand({"cluster", dir / "small.mgf", "-o", dir / "out", "--precursor-tol", "0.05Da", "--threshold",
                          "0.33"})
                  .code,
              EXIT_OK);
    const std::string used = ReadFile(dir.path() / "out" / "speclink.params");
    EXPECT_NE(used.find("# written by: speclink cluster " + (dir / "small.mgf") + " -o " + (dir / "out") +
                        " --precursor-tol 0.05Da --threshold 0.33\n"),
              std::string::npos)
        << used;
    EXPECT_NE(used.find("# input: " + (dir / "small.mgf") + "\n"), std::string::npos) << used;
    ASSERT_TRUE(para.ReadParaFile(dir.path() / "out" / "speclink.params"));
    EXPECT_EQ(Settings::Of(para).precursor_ion_tol, (Tolerance{0.05, TOLERANCE_DA}));
    EXPECT_EQ(Settings::Of(para).threshold, 0.33);
}

// Regression: speclink.params of a run whose paths hold capitals was refused by the next
// run, as the library reads data_directory and out_directory in lower case. The inputs and
// -o stand in for them; only a run that takes out_directory from the file is told.
TEST(WrittenParameterFile, CapitalsInThePathsRefuseOnlyARunThatUsesThem) {
    const TempDir dir;
    WriteFile(dir / "Small.mgf", kSmallMgf);
    ASSERT_EQ(RunCommand({"cluster", dir / "Small.mgf", "-o", dir / "First"}).code, EXIT_OK);
    const std::string used = (dir.path() / "First" / "speclink.params").string();
    const auto again = RunCommand({"run", used, dir / "Small.mgf", "-o", dir / "again"});
    EXPECT_EQ(again.code, EXIT_OK) << again.err;
    EXPECT_EQ(RunCommand({"cluster", "-p", used, dir / "Small.mgf", "-o", dir / "clustered"}).code, EXIT_OK);
    const auto refused = RunCommand({"run", used, dir / "Small.mgf"});
    EXPECT_EQ(refused.code, EXIT_USAGE);
    EXPECT_NE(refused.err.find("the library stores out_directory in lower case"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.err.find("data_directory"), std::string::npos) << refused.err;
}

// A directory that holds an earlier run's outputs is refused; --overwrite removes those and
// nothing else, so score.txt never grows across runs.
TEST(OutputDirectory, EarlierRunsAreRefusedOrReplaced) {
    const TempDir dir;
    WriteFile(dir / "small.mgf", kSmallMgf);
    const std::string out = dir / "out";
    ASSERT_EQ(RunCommand({"modsearch", dir / "small.mgf", "-o", out, "--threshold", "0", "--raw-scores"}).code,
              EXIT_OK);
    WriteFile(dir.path() / "out" / "notes.txt", "mine\n");
    const std::string scores = ReadFile(dir.path() / "out" / "score.txt");

    const auto refused = RunCommand({"modsearch", dir / "small.mgf", "-o", out});
    EXPECT_EQ(refused.code, EXIT_USAGE);
    EXPECT_NE(refused.err.find("holds the outputs of an earlier run (speclink.outputs lists them); give --overwrite"),
              std::string::npos)
        << refused.err;

    ASSERT_EQ(
        RunCommand({"modsearch", dir / "small.mgf", "-o", out, "--threshold", "0", "--raw-scores", "--overwrite"}).code,
        EXIT_OK);
    EXPECT_EQ(ReadFile(dir.path() / "out" / "score.txt"), scores);
    ASSERT_EQ(RunCommand({"cluster", dir / "small.mgf", "-o", out, "--overwrite"}).code, EXIT_OK);
    EXPECT_FALSE(fs::exists(dir.path() / "out" / "pairs.csv"));
    EXPECT_FALSE(fs::exists(dir.path() / "out" / "score.txt"));
    EXPECT_TRUE(fs::exists(dir.path() / "out" / "clusters.csv"));
    EXPECT_EQ(ReadFile(dir.path() / "out" / "notes.txt"), "mine\n");
    EXPECT_EQ(ReadFile(dir.path() / "out" / OutputDirectory::kManifest).find("notes.txt"), std::string::npos);
}

// A run of the command as a process of its own, stopped by `signal` once its first progress
// figure shows.
struct Stopped {
    int status = 0;
    std::string err;
};

Stopped StopAtFirstProgress(const std::vector<std::string>& args, int signal) {
    int out_pipe[2];
    int err_pipe[2];
    EXPECT_EQ(pipe(out_pipe), 0);
    EXPECT_EQ(pipe(err_pipe), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(out_pipe[1], STDOUT_FILENO);
        dup2(err_pipe[1], STDERR_FILENO);
        std::vector<char*> argv = {const_cast<char*>(SPECLINK_BINARY)};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(SPECLINK_BINARY, argv.data());
        _exit(127);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);
    std::string seen;
    char buffer[256];
    ssize_t got = 0;
    while (seen.find("10%") == std::string::npos && (got = read(out_pipe[0], buffer, sizeof buffer)) > 0) {
        seen.append(buffer, static_cast<std::size_t>(got));
    }
    kill(child, signal);
    Stopped stopped;
    while ((got = read(err_pipe[0], buffer, sizeof buffer)) > 0) stopped.err.append(buffer, static_cast<std::size_t>(got));
    waitpid(child, &stopped.status, 0);
    close(out_pipe[0]);
    close(err_pipe[0]);
    return stopped;
}

std::vector<std::string> Entries(const fs::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) names.push_back(entry.path().filename().string());
    return names;
}

TEST(Interruption, SignalsLeaveNoResultThatLooksWhole) {
    const TempDir dir;
    ASSERT_EQ(RunCommand({"simulate", "-n", "8000", "--seed", "3", "-o", dir / "in.mgf", "--truth", dir / "t.tsv"}).code,
              EXIT_OK);
    const std::vector<std::string> search = {"modsearch", dir / "in.mgf", "-o", dir / "out", "--threads", "1"};

    const Stopped interrupted = StopAtFirstProgress(search, SIGINT);
    ASSERT_TRUE(WIFEXITED(interrupted.status));
    EXPECT_EQ(WEXITSTATUS(interrupted.status), 130);
    EXPECT_NE(interrupted.err.find("speclink: interrupted (SIGINT): the run was stopped and its unfinished outputs in"),
              std::string::npos)
        << interrupted.err;
    EXPECT_TRUE(Entries(dir.path() / "out").empty());

    std::vector<std::string> again = search;
    again.push_back("--overwrite");
    const Stopped terminated = StopAtFirstProgress(again, SIGTERM);
    EXPECT_EQ(WEXITSTATUS(terminated.status), 143);
    EXPECT_TRUE(Entries(dir.path() / "out").empty());

    // Killed outright: only the staging directory, under its temporary name, is left, and
    // the next run names it.
    const Stopped killed = StopAtFirstProgress(search, SIGKILL);
    ASSERT_TRUE(WIFSIGNALED(killed.status));
    const std::vector<std::string> left = Entries(dir.path() / "out");
    ASSERT_EQ(left.size(), 1u);
    EXPECT_TRUE(left[0].starts_with(OutputDirectory::kStagingPrefix)) << left[0];
    const auto refused = RunCommand({"modsearch", dir / "in.mgf", "-o", dir / "out"});
    EXPECT_EQ(refused.code, EXIT_USAGE);
    EXPECT_NE(refused.err.find("an interrupted run left " + left[0]), std::string::npos) << refused.err;
}

}  // namespace
}  // namespace speclink::cli
