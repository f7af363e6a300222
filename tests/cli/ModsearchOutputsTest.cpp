// What speclink modsearch gives a lab: every pair compared with its shift whatever the input
// order, and the mass offsets of the sample named from Unimod.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "speclink/cli/ExitCodes.h"
#include "speclink/cli/SpectrumSimulator.h"
#include "speclink/formats/MgfWriter.h"
#include "speclink/formats/UnimodReader.h"
#include "speclink/tests/cli/CommandRunner.h"

namespace speclink::cli {
namespace {

namespace fs = std::filesystem;
using speclink::test::ReadFile;
using speclink::test::SourceFile;
using speclink::test::TempDir;
using speclink::test::WriteFile;
using test::RunCommand;

std::vector<std::vector<std::string>> Rows(const std::string& text, char separator) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream in(line);
        for (std::string field; std::getline(in, field, separator);) fields.push_back(field);
        rows.push_back(fields);
    }
    return rows;
}

// Simulated spectra written forwards and reversed, searched in the command's order and in
// either input order.
class SimulatedSearch : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        SimulationOptions options;
        options.spectra = 4000;
        options.seed = 21;
        std::vector<CSpectrum> spectra = SimulateSpectra(options).spectra;
        std::string forwards;
        std::string backwards;
        for (const CSpectrum& spectrum : spectra) forwards += MgfEntry(spectrum);
        for (auto it = spectra.rbegin(); it != spectra.rend(); ++it) backwards += MgfEntry(*it);
        WriteFile(*dir_ / "forwards.mgf", forwards);
        WriteFile(*dir_ / "backwards.mgf", backwards);
    }
    static void TearDownTestSuite() { delete dir_; }

    static fs::path Search(const std::string& input, const std::string& out, std::vector<std::string> options = {}) {
        std::vector<std::string> args = {"modsearch", *dir_ / input, "-o", *dir_ / out, "--unimod",
                                         SourceFile("cli/golden/unimod-small.xml").string()};
        args.insert(args.end(), options.begin(), options.end());
        const auto outcome = RunCommand(args);
        EXPECT_EQ(outcome.code, EXIT_OK) << outcome.err;
        return dir_->path() / out;
    }

    // The pairs of a pair list as (heavier, lighter), each spectrum named by its scan and
    // charge (its name without the input's base), or those listed with a positive mass
    // difference alone.
    static std::set<std::pair<std::string, std::string>> PairsOf(const fs::path& out, bool positive_only) {
        const auto scan = [](const std::string& name) { return name.substr(name.find('.')); };
        std::set<std::pair<std::string, std::string>> pairs;
        for (const std::vector<std::string>& fields : Rows(ReadFile(out / "pairs.csv"), ',')) {
            const double d = std::stod(fields[4]);
            if (positive_only && !(d > 0.0)) continue;
            pairs.insert(d > 0.0 ? std::make_pair(scan(fields[0]), scan(fields[2]))
                                 : std::make_pair(scan(fields[2]), scan(fields[0])));
        }
        return pairs;
    }

    static TempDir* dir_;
};

TempDir* SimulatedSearch::dir_ = nullptr;

TEST_F(SimulatedSearch, TheSamplesModificationsAreTheTopOffsetsEachOnePeak) {
    const fs::path out = Search("forwards.mgf", "ordered");
    const auto offsets = Rows(ReadFile(out / "offsets.tsv"), '\t');
    ASSERT_GE(offsets.size(), 4u);
    std::set<std::string> top;
    for (std::size_t k = 1; k <= 3; ++k) top.insert(offsets[k][7]);
    EXPECT_EQ(top, (std::set<std::string>{"Oxidation", "Phospho", "Acetyl"}));
    // No other offset of ten pairs or more near any of them.
    for (const double mass : {15.9949, 79.9663, 42.0106}) {
        int near = 0;
        for (std::size_t k = 1; k < offsets.size(); ++k) {
            if (std::stoi(offsets[k][4]) >= 10 && std::abs(std::stod(offsets[k][1]) - mass) < 0.5) ++near;
        }
        EXPECT_EQ(near, 1) << mass;
    }
    const std::string report = ReadFile(out / "report.html");
    for (const char* name : {"Oxidation", "Phospho", "Acetyl", "<svg"}) EXPECT_NE(report.find(name), std::string::npos) << name;
    EXPECT_EQ(report.find("<script"), std::string::npos);
    EXPECT_EQ(report.find("http"), report.find("http://www.w3.org/2000/svg"));
}

// The command's order finds every pair with its shift: exactly the pairs that the input
// order and the reversed order find with a positive shift, and the same profile for both.
TEST_F(SimulatedSearch, EveryPairIsComparedWithItsShiftWhateverTheInputOrder) {
    const fs::path forwards = Search("forwards.mgf", "f", {"--method", "2"});
    const fs::path backwards = Search("backwards.mgf", "b", {"--method", "2"});
    EXPECT_EQ(ReadFile(forwards / "offsets.tsv"), ReadFile(backwards / "offsets.tsv"));
    EXPECT_EQ(PairsOf(forwards, false), PairsOf(backwards, false));

    auto either = PairsOf(Search("forwards.mgf", "fk", {"--method", "2", "--keep-order"}), true);
    const auto reversed = PairsOf(Search("backwards.mgf", "bk", {"--method", "2", "--keep-order"}), true);
    either.insert(reversed.begin(), reversed.end());
    EXPECT_EQ(PairsOf(forwards, false), either);
    EXPECT_GT(either.size(), 500u);
}

// score_histogram.tsv counts the lines of score.txt, which only --raw-scores writes.
TEST_F(SimulatedSearch, TheScoreHistogramCountsTheRawScores) {
    EXPECT_FALSE(fs::exists(Search("forwards.mgf", "histogram") / "score.txt"));
    const fs::path out = Search("forwards.mgf", "raw", {"--raw-scores"});
    std::map<std::string, long> raw;
    std::istringstream lines(ReadFile(out / "score.txt"));
    for (std::string line; std::getline(lines, line);) ++raw[line];
    std::map<std::string, long> counted;
    const auto rows = Rows(ReadFile(out / "score_histogram.tsv"), '\t');
    ASSERT_EQ(rows.front(), (std::vector<std::string>{"sqrt_score", "pairs"}));
    for (std::size_t k = 1; k < rows.size(); ++k) counted[rows[k][0]] = std::stol(rows[k][1]);
    EXPECT_GT(raw.size(), 1000u);
    EXPECT_EQ(counted, raw);
    EXPECT_EQ(ReadFile(out / "score_histogram.tsv"), ReadFile(dir_->path() / "histogram" / "score_histogram.tsv"));
}

TEST(Unimod, ReadsModificationsSubstitutionsAndResidues) {
    const Unimod unimod = ReadUnimod(SourceFile("cli/golden/unimod-small.xml").string());
    ASSERT_EQ(unimod.modifications.size(), 5u);
    EXPECT_EQ(unimod.modifications[4].name, "Ala->Ser");
    EXPECT_TRUE(unimod.modifications[4].substitution);
    EXPECT_FALSE(unimod.modifications[3].substitution);
    EXPECT_EQ(unimod.modifications[3].mass, 15.994915);
    EXPECT_EQ(unimod.modifications[3].record, 35);
    ASSERT_EQ(unimod.residues.size(), 1u);
    EXPECT_EQ(unimod.residues[0].residue, 'G');
}

// A small real file of ../shared/data (when it is there): its offsets, named from the
// Unimod of this test, against the expected table.
TEST(RealData, OffsetsOfAPublishedMgf) {
    const fs::path input = SourceFile("../../shared/data/pride_export_2017.mgf");
    if (!fs::exists(input)) GTEST_SKIP() << input << " is not here";
    const TempDir dir;
    const auto outcome = RunCommand({"modsearch", input.string(), "-o", dir / "out", "--unimod",
                                     SourceFile("cli/golden/unimod-small.xml").string()});
    ASSERT_EQ(outcome.code, EXIT_OK) << outcome.err;
    EXPECT_EQ(ReadFile(dir.path() / "out" / "offsets.tsv"), ReadFile(SourceFile("cli/golden/pride_offsets.tsv")));
}

}  // namespace
}  // namespace speclink::cli
