// Records that do not fit in --memory spill to disk and are worked through a bucket at a
// time: the files are those of the run that holds every record in memory.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "speclink/cli/ExitCodes.h"
#include "speclink/cli/SpectrumSimulator.h"
#include "speclink/formats/MgfWriter.h"
#include "speclink/tests/cli/CommandRunner.h"

namespace speclink::cli {
namespace {

namespace fs = std::filesystem;
using speclink::test::ReadFile;
using speclink::test::TempDir;
using speclink::test::WriteFile;
using test::CommandOutcome;
using test::RunCommand;

class Spill : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        SimulationOptions options;
        options.spectra = 3000;
        options.seed = 8;
        std::string text;
        for (const CSpectrum& spectrum : SimulateSpectra(options).spectra) text += MgfEntry(spectrum);
        WriteFile(*dir_ / "sim.mgf", text);
    }
    static void TearDownTestSuite() { delete dir_; }

    static CommandOutcome Run(const std::string& out, std::vector<std::string> args) {
        args.insert(args.begin() + 1, {*dir_ / "sim.mgf", "-o", *dir_ / out});
        const CommandOutcome outcome = RunCommand(args);
        EXPECT_EQ(outcome.code, EXIT_OK) << outcome.err;
        return outcome;
    }

    // Every file of the two runs byte for byte, but the records of the command line.
    static void ExpectSameFiles(const std::string& held, const std::string& spilled) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_->path() / held)) names.push_back(entry.path().filename());
        ASSERT_GE(names.size(), 5u);
        for (const std::string& name : names) {
            if (name == "speclink.params" || name == "report.html") continue;
            EXPECT_EQ(ReadFile(dir_->path() / spilled / name), ReadFile(dir_->path() / held / name)) << name;
        }
        EXPECT_FALSE(fs::exists(dir_->path() / spilled / "spill"));
    }

    // The count the summary gives after "buckets; ".
    static int Crossings(const std::string& out) {
        std::smatch match;
        EXPECT_TRUE(std::regex_search(out, match, std::regex("in ([0-9]+) buckets; ([0-9]+) "))) << out;
        EXPECT_GT(std::stoi(match[1]), 4) << out;
        return std::stoi(match[2]);
    }

    static TempDir* dir_;
};

TempDir* Spill::dir_ = nullptr;

TEST_F(Spill, ClusteringGivesTheFilesOfTheRunInMemory) {
    const std::vector<std::string> options = {"--threads", "2", "--thresholds", "0.5,0.8", "--representatives",
                                              "--mgf-singles"};
    std::vector<std::string> held = {"cluster"};
    held.insert(held.end(), options.begin(), options.end());
    Run("held", held);
    std::vector<std::string> spilled = held;
    spilled.insert(spilled.end(), {"--memory", "1M"});
    // Groups of replicates (same peptide, same mass) straddle the edges of the buckets.
    EXPECT_GT(Crossings(Run("spilled", spilled).out), 0);
    ExpectSameFiles("held", "spilled");
}

// Dot Product Mod pairs equal charges; Comprehensive also 3 with 2, which takes partners from
// the doubly charged buckets around each triply charged one.
TEST_F(Spill, ModificationSearchGivesTheFilesAndOutputOfTheRunInMemory) {
    for (const char* method : {"2", "4"}) {
        const std::string held = std::string("search-held-") + method;
        const std::string spilled = std::string("search-spilled-") + method;
        const CommandOutcome in_memory = Run(held, {"modsearch", "--method", method, "--raw-scores"});
        const CommandOutcome on_disk = Run(spilled, {"modsearch", "--method", method, "--raw-scores", "--memory", "1M"});
        EXPECT_GT(Crossings(on_disk.out), 0);
        ExpectSameFiles(held, spilled);
        // The standard output up to the summary: the engine's progress figures.
        EXPECT_EQ(on_disk.out.substr(0, on_disk.out.find("speclink modsearch")),
                  in_memory.out.substr(0, in_memory.out.find("speclink modsearch")));
    }
}

TEST_F(Spill, WhatNeedsEveryRecordInMemoryIsRefused) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"cluster", "--keep-order"}, {"cluster", "--dta"}, {"modsearch", "--shift-search"}}) {
        std::vector<std::string> full = {args[0], *dir_ / "sim.mgf", "-o", *dir_ / "refused", args[1], "--memory", "1M"};
        const CommandOutcome outcome = RunCommand(full);
        EXPECT_EQ(outcome.code, EXIT_USAGE) << args[1];
        EXPECT_NE(outcome.err.find(args[1] + " needs them all in memory"), std::string::npos) << outcome.err;
        EXPECT_FALSE(fs::exists(dir_->path() / "refused" / "spill"));
    }
}

}  // namespace
}  // namespace speclink::cli
