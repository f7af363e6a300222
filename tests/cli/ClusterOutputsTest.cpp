// What speclink cluster gives a lab: the cluster table and consensus.mgf (golden files),
// consensus peaks equal to the DTA files', inputs of the same names, and the evaluation of a
// clustering by identifications.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "speclink/cli/ClusterEvaluation.h"
#include "speclink/cli/ClusterOutputs.h"
#include "speclink/cli/ExitCodes.h"
#include "speclink/cli/SpectrumSimulator.h"
#include "speclink/formats/MgfWriter.h"
#include "speclink/formats/MzmlWriter.h"
#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/tests/cli/CommandRunner.h"

namespace speclink::cli {
namespace {

namespace fs = std::filesystem;
using speclink::test::ReadFile;
using speclink::test::ScopedCurrentDirectory;
using speclink::test::SourceFile;
using speclink::test::TempDir;
using speclink::test::WriteFile;
using test::kSmallMgf;
using test::RunCommand;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
    return fields;
}

// Run from inside the directory, so that the table names the input as given: "small.mgf".
TEST(ClusterOutputs, TableAndConsensusMgfMatchTheGoldenFiles) {
    const TempDir dir;
    const ScopedCurrentDirectory cwd(dir.path());
    WriteFile("small.mgf", kSmallMgf);
    const auto outcome = RunCommand({"cluster", "small.mgf", "-o", "out", "--thresholds", "0.99,0.3", "--mgf-singles"});
    ASSERT_EQ(outcome.code, EXIT_OK) << outcome.err;
    EXPECT_EQ(ReadFile("out/clusters.tsv"), ReadFile(SourceFile("cli/golden/clusters.tsv")));
    EXPECT_EQ(ReadFile("out/consensus.mgf"), ReadFile(SourceFile("cli/golden/consensus.mgf")));
}

// The consensus peaks of consensus.mgf are the DTA consensus files' peaks, digit for digit,
// for every cluster; the DTA file of a cluster is named after its members' scan labels.
TEST(ClusterOutputs, ConsensusMgfHoldsTheDtaConsensusPeaks) {
    const TempDir dir;
    ASSERT_EQ(RunCommand({"simulate", "-n", "10000", "--seed", "9", "-o", dir / "in.mgf", "--truth", dir / "t.tsv"}).code,
              EXIT_OK);
    const auto outcome = RunCommand({"cluster", dir / "in.mgf", "-o", dir / "out", "--dta"});
    ASSERT_EQ(outcome.code, EXIT_OK) << outcome.err;
    const fs::path out = dir.path() / "out";

    // Members per cluster, in chain order, from the table.
    std::map<std::string, std::vector<std::string>> members;
    const std::vector<std::string> table = Lines(ReadFile(out / "clusters.tsv"));
    for (std::size_t k = 1; k < table.size(); ++k) {
        const std::vector<std::string> fields = Fields(table[k]);
        members[fields[0]].push_back(fields[10]);
    }
    std::size_t compared = 0;
    const std::vector<std::string> mgf = Lines(ReadFile(out / "consensus.mgf"));
    for (std::size_t k = 0; k < mgf.size(); ++k) {
        if (!mgf[k].starts_with("CLUSTER_ID=")) continue;
        const std::vector<std::string>& names = members.at(mgf[k].substr(11));
        const auto label = [](const std::string& name) { return CRepresentativeSpectra::ExtractScanLabel(name); };
        const std::string dta = label(names.front()) + "-" + label(names[names.size() / 2]) + "-" + label(names.back()) + ".dta";
        std::string header;
        std::string peaks;
        for (; k < mgf.size() && mgf[k] != "END IONS"; ++k) {
            if (mgf[k].starts_with("PRECURSOR_MH=")) header = mgf[k].substr(13);
            if (mgf[k].starts_with("CHARGE=")) header += " " + mgf[k].substr(7, mgf[k].size() - 8);
            if (!mgf[k].empty() && std::isdigit(static_cast<unsigned char>(mgf[k][0]))) peaks += mgf[k] + "\n";
        }
        ASSERT_EQ(header + "\n" + peaks, ReadFile(out / dta)) << dta;
        ++compared;
    }
    EXPECT_GT(compared, 2000u);
}

// One mzML file given twice from two folders, and a GNPS-style MGF whose entries all say
// SCANS=1: every spectrum is read, once in the table, under a name of its own.
TEST(ClusterOutputs, RepeatedNamesAreReadAndMadeUnique) {
    const TempDir dir;
    SimulationOptions options;
    options.spectra = 30;
    const std::vector<CSpectrum> spectra = SimulateSpectra(options).spectra;
    for (const char* folder : {"rep1", "rep2"}) {
        fs::create_directory(dir.path() / folder);
        MzmlWriter writer((dir.path() / folder / "run.mzML").string());
        for (const CSpectrum& spectrum : spectra) writer.Write(spectrum);
        writer.Close();
    }
    std::string gnps;
    for (CSpectrum spectrum : spectra) {
        spectrum.scan = 1;
        gnps += MgfEntry(spectrum);
    }
    WriteFile(dir / "gnps.mgf", gnps);

    const auto outcome = RunCommand({"cluster", (dir.path() / "rep1" / "run.mzML").string(),
                                     (dir.path() / "rep2" / "run.mzML").string(), dir / "gnps.mgf", "-o", dir / "out"});
    ASSERT_EQ(outcome.code, EXIT_OK) << outcome.err;
    // Every record of the second mzML; in the MGF all but the first of each charge.
    EXPECT_NE(outcome.out.find("names made unique: 58 records renamed"), std::string::npos) << outcome.out;
    const std::vector<std::string> table = Lines(ReadFile(dir.path() / "out" / "clusters.tsv"));
    ASSERT_EQ(table.size(), 1 + 3 * spectra.size());
    std::map<std::string, int> names;
    std::map<std::string, int> per_source;
    for (std::size_t k = 1; k < table.size(); ++k) {
        const std::vector<std::string> fields = Fields(table[k]);
        ++names[fields[10]];
        ++per_source[fields[3]];
        if (fields[3].ends_with("gnps.mgf")) {
            EXPECT_EQ(fields[5], "1");
        }
        if (fields[3].ends_with("run.mzML")) {
            EXPECT_TRUE(fields[4].starts_with("scan=")) << fields[4];
        }
    }
    EXPECT_EQ(names.size(), 3 * spectra.size());
    for (const auto& [source, count] : per_source) EXPECT_EQ(count, static_cast<int>(spectra.size())) << source;
}

// Clusters {0,1,2} {3,4} {5} with labels A A B / A - / C: five spectra of six in clusters of
// two or more; of the four identified among them, B does not carry its cluster's A; H(P)
// over A A A B C and H(C|P) = 3/5 H(2/3, 1/3) give the completeness.
TEST(ClusterEvaluation, HandCheckedCase) {
    const ClusterQuality quality = EvaluateClustering({1, 1, 1, 2, 2, 3}, {0, 0, 1, 0, -1, 2});
    EXPECT_EQ(quality.spectra, 6u);
    EXPECT_EQ(quality.clusters, 3u);
    EXPECT_EQ(quality.identified, 5u);
    EXPECT_DOUBLE_EQ(quality.clustered_ratio, 5.0 / 6.0);
    EXPECT_DOUBLE_EQ(quality.incorrect_ratio, 1.0 / 4.0);
    const auto h = [](std::vector<double> p) {
        double sum = 0.0;
        for (const double x : p) sum -= x * std::log(x);
        return sum;
    };
    EXPECT_DOUBLE_EQ(quality.completeness, 1.0 - 0.6 * h({2.0 / 3.0, 1.0 / 3.0}) / h({0.6, 0.2, 0.2}));
    // Every label in one cluster of its own: complete and pure.
    const ClusterQuality perfect = EvaluateClustering({1, 1, 2, 2}, {0, 0, 1, 1});
    EXPECT_DOUBLE_EQ(perfect.completeness, 1.0);
    EXPECT_DOUBLE_EQ(perfect.incorrect_ratio, 0.0);
    EXPECT_EQ(IdentificationLabel("PEPTIdEk", 2), "PEPTLDEK/2");
}

// The command on a cluster table of a sweep and the simulated truth: one line per clustering.
TEST(ClusterEvaluation, CommandGivesTheCurveOfASweep) {
    const TempDir dir;
    ASSERT_EQ(RunCommand({"simulate", "-n", "300", "--seed", "4", "-o", dir / "in.mgf", "--truth", dir / "t.tsv"}).code,
              EXIT_OK);
    ASSERT_EQ(RunCommand({"cluster", dir / "in.mgf", "-o", dir / "out", "--thresholds", "0.2:0.8:0.3"}).code, EXIT_OK);
    const auto outcome = RunCommand({"evaluate", (dir.path() / "out" / "clusters.tsv").string(), "-i", dir / "t.tsv",
                                     "-o", dir / "curve.tsv"});
    ASSERT_EQ(outcome.code, EXIT_OK) << outcome.err;
    const std::vector<std::string> curve = Lines(ReadFile(dir / "curve.tsv"));
    ASSERT_EQ(curve.size(), 5u);
    EXPECT_EQ(Fields(curve[2])[0], "cluster_at_0.2");
    EXPECT_EQ(Fields(curve[4])[1], "0.8");
    EXPECT_EQ(Fields(curve[1])[3], "300");  // every spectrum identified
    // A lower threshold clusters more.
    EXPECT_GT(std::stod(Fields(curve[2])[5]), std::stod(Fields(curve[4])[5]));
    EXPECT_NE(outcome.out.find("300 spectra, 300 of them identified"), std::string::npos) << outcome.out;
}

TEST(ClusterOutputs, ThresholdLists) {
    EXPECT_EQ(ParseThresholds("0.3:0.9:0.05").size(), 13u);
    EXPECT_EQ(ParseThresholds("0.3:0.9:0.05").back(), 0.9);
    EXPECT_EQ(ParseThresholds("0.5,0.4"), (std::vector<double>{0.5, 0.4}));
    for (const char* bad : {"", "0.3:0.9", "0.9:0.3:0.1", "0.3:0.9:0", "1.5", "a,b", "0.1:0.2:0.05:1"}) {
        EXPECT_THROW(ParseThresholds(bad), std::invalid_argument) << bad;
    }
}

}  // namespace
}  // namespace speclink::cli
