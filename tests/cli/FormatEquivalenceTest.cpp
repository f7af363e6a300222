// The same spectra in every input format give byte-identical results.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "speclink/tests/cli/CommandRunner.h"
#include "speclink/cli/SpectrumSimulator.h"
#include "speclink/tests/support/DtaWriter.h"
#include "speclink/formats/MgfWriter.h"
#include "speclink/tests/support/Ms2Writer.h"
#include "speclink/formats/MzmlWriter.h"
#include "speclink/tests/support/MzxmlWriter.h"

namespace speclink::cli {
namespace {

namespace fs = std::filesystem;
using speclink::test::ReadFile;
using speclink::test::TempDir;
using test::RunCommand;

// Every output file of a run but those that name the inputs and their native ids (the
// parameter record, the cluster table and the report), and without retention times, which DTA files do
// not carry.
std::map<std::string, std::string> Outputs(const fs::path& directory) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(directory)) {
        const std::string name = entry.path().filename().string();
        if (name == "speclink.params" || name == "clusters.tsv" || name == "report.html") continue;
        std::string kept;
        std::istringstream lines(ReadFile(entry.path()));
        for (std::string line; std::getline(lines, line);) {
            if (!line.starts_with("RTINSECONDS=")) kept += line + "\n";
        }
        files[name] = kept;
    }
    return files;
}

template <typename Writer>
void WriteAll(const std::vector<CSpectrum>& spectra, const fs::path& path) {
    Writer writer(path.string());
    for (const CSpectrum& spectrum : spectra) writer.Write(spectrum);
    writer.Close();
}

class FormatEquivalence : public ::testing::Test {
protected:
    void SetUp() override {
        SimulationOptions options;
        options.spectra = 150;
        options.seed = 5;
        spectra_ = SimulateSpectra(options).spectra;
        // Every format names its records base.scan.scan.charge.dta; the DTA directory uses
        // the same names so that all five inputs give the same file names.
        for (CSpectrum& spectrum : spectra_) spectrum.file_name = "run." + spectrum.title.substr(4) + ".dta";
        // A DTA directory is read in name order; the other files are written in that order
        // too, since the modification search keeps the input order.
        std::sort(spectra_.begin(), spectra_.end(),
                  [](const CSpectrum& a, const CSpectrum& b) { return a.file_name < b.file_name; });
        const fs::path root = dir_.path();
        WriteAll<MgfWriter>(spectra_, root / "run.mgf");
        WriteAll<MzmlWriter>(spectra_, root / "run.mzML");
        WriteAll<MzxmlWriter>(spectra_, root / "run.mzXML");
        WriteAll<Ms2Writer>(spectra_, root / "run.ms2");
        fs::create_directory(root / "dta");
        WriteDtaDirectory(spectra_, (root / "dta").string());
        inputs_ = {"run.mgf", "run.mzML", "run.mzXML", "run.ms2", "dta"};
    }

    std::map<std::string, std::string> Run(const std::string& command, const std::string& input,
                                           const std::vector<std::string>& options = {}) {
        const fs::path out = dir_.path() / ("out-" + command + "-" + input + std::to_string(options.size()));
        std::vector<std::string> args = {command, (dir_.path() / input).string(), "-o", out.string()};
        args.insert(args.end(), options.begin(), options.end());
        const auto outcome = RunCommand(args);
        EXPECT_EQ(outcome.code, 0) << input << ": " << outcome.err;
        return Outputs(out);
    }

    TempDir dir_;
    std::vector<CSpectrum> spectra_;
    std::vector<std::string> inputs_;
};

TEST_F(FormatEquivalence, ClusteringGivesTheSameFiles) {
    const auto reference = Run("cluster", inputs_.front(), {"--dta"});
    ASSERT_GT(reference.size(), 10u);
    ASSERT_EQ(reference.count("clusters.csv"), 1u);
    for (size_t k = 1; k < inputs_.size(); ++k) EXPECT_EQ(Run("cluster", inputs_[k], {"--dta"}), reference) << inputs_[k];
}

// Copies of the representatives come from the records (a DTA input's own file), single
// spectra then too.
TEST_F(FormatEquivalence, RepresentativeCopiesAreTheSame) {
    const std::vector<std::string> both = {"--dta", "--consensus-type", "2"};
    const auto reference = Run("cluster", inputs_.front(), both);
    ASSERT_GT(reference.size(), Run("cluster", inputs_.front(), {"--dta"}).size());
    for (size_t k = 1; k < inputs_.size(); ++k) EXPECT_EQ(Run("cluster", inputs_[k], both), reference) << inputs_[k];
}

TEST_F(FormatEquivalence, ModificationSearchGivesTheSameFiles) {
    const auto reference = Run("modsearch", inputs_.front());
    ASSERT_FALSE(reference.at("pairs.csv").empty());
    for (size_t k = 1; k < inputs_.size(); ++k) EXPECT_EQ(Run("modsearch", inputs_[k]), reference) << inputs_[k];
}

}  // namespace
}  // namespace speclink::cli
