// speclink-mpi on 1, 2 and 3 processes (more than the machine's cores) against the command on
// one: every file byte for byte, and the standard output of the engine.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "speclink/cli/ExitCodes.h"
#include "speclink/cli/SpectrumSimulator.h"
#include "speclink/formats/MgfWriter.h"
#include "speclink/formats/MzmlWriter.h"
#include "speclink/tests/support/TestSupport.h"

namespace speclink::mpi {
namespace {

namespace fs = std::filesystem;
using speclink::test::ReadFile;
using speclink::test::TempDir;
using speclink::test::WriteFile;

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

// Runs `program args...` (with mpirun -n `ranks` when ranks > 0), its output kept in `dir`.
Outcome RunProgram(const TempDir& dir, int ranks, const std::string& program, const std::vector<std::string>& args) {
    std::string line;
    if (ranks > 0) {
        line = std::string(SPECLINK_MPIEXEC) + " --allow-run-as-root --oversubscribe -n " + std::to_string(ranks) + " ";
    }
    line += program;
    for (const std::string& arg : args) line += " '" + arg + "'";
    line += " > " + dir / "run.out" + " 2> " + dir / "run.err";
    Outcome outcome;
    const int status = std::system(line.c_str());
    outcome.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.out = ReadFile(dir.path() / "run.out");
    outcome.err = ReadFile(dir.path() / "run.err");
    return outcome;
}

// The records the ranks took from others, from the summary's table of ranks.
int Received(const std::string& out) {
    int received = 0;
    const std::regex rank("rank [0-9]+: [0-9]+, [0-9]+, ([0-9]+) records");
    for (auto it = std::sregex_iterator(out.begin(), out.end(), rank); it != std::sregex_iterator(); ++it) {
        received += std::stoi((*it)[1]);
    }
    return received;
}

class MpiRun : public ::testing::Test {
protected:
    // Simulated spectra in an MGF file large enough to be read in pieces and an mzML file
    // read whole; in the middle of the MGF file's masses, a block of spectra of one mass, one
    // precursor group, where the shares of the ranks are likely cut.
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        cli::SimulationOptions options;
        options.spectra = 3000;
        options.seed = 13;
        std::vector<CSpectrum> spectra = cli::SimulateSpectra(options).spectra;
        for (int k = 0; k < 120; ++k) {
            CSpectrum copy = spectra[static_cast<std::size_t>(k)];
            copy.charge = 2;
            copy.precursor_mass = 1500.0 + 1e-7 * k;
            copy.precursor_mz = (copy.precursor_mass + 1.007276) / 2.0;
            copy.scan = 90000 + k;
            copy.title = "block." + std::to_string(k);
            spectra.push_back(copy);
        }
        std::string mgf;
        for (std::size_t k = 0; k < spectra.size(); k += 4) {
            for (std::size_t j = k; j < std::min(k + 3, spectra.size()); ++j) mgf += MgfEntry(spectra[j]);
        }
        WriteFile(*dir_ / "a.mgf", mgf);
        MzmlWriter mzml((*dir_ / "b.mzML"));
        for (std::size_t k = 3; k < spectra.size(); k += 4) mzml.Write(spectra[k]);
        mzml.Close();
    }
    static void TearDownTestSuite() { delete dir_; }

    // Runs the job on one process and on 1 to 3 ranks with `options`, and compares.
    static void ExpectSameAsOneProcess(const std::string& job, const std::vector<std::string>& options,
                                       const std::vector<std::string>& files, bool& took_from_others) {
        const TempDir runs;
        std::vector<std::string> args = {job, *dir_ / "a.mgf", *dir_ / "b.mzML", "-o", runs / "one", "--threads", "1"};
        args.insert(args.end(), options.begin(), options.end());
        const Outcome one = RunProgram(runs, 0, SPECLINK_BINARY, args);
        ASSERT_EQ(one.code, cli::EXIT_OK) << one.err;
        const std::string engine_output = one.out.substr(0, one.out.find("speclink " + job));
        for (const int ranks : {1, 2, 3}) {
            SCOPED_TRACE(std::to_string(ranks) + " ranks");
            const std::string out = runs / ("ranks-" + std::to_string(ranks));
            args[4] = out;
            const Outcome many = RunProgram(runs, ranks, SPECLINK_MPI_BINARY, args);
            ASSERT_EQ(many.code, cli::EXIT_OK) << many.err;
            for (const std::string& file : files) {
                EXPECT_EQ(ReadFile(fs::path(out) / file), ReadFile(runs.path() / "one" / file)) << file;
            }
            EXPECT_EQ(many.out.substr(0, many.out.find("speclink " + job)), engine_output);
            EXPECT_FALSE(fs::exists(fs::path(out) / "ranks"));
            if (ranks > 1 && Received(many.out) > 0) took_from_others = true;
        }
    }

    static TempDir* dir_;
};

TempDir* MpiRun::dir_ = nullptr;

TEST_F(MpiRun, ClusteringGivesTheFilesOfOneProcess) {
    bool carried = false;
    ExpectSameAsOneProcess("cluster", {"--thresholds", "0.5,0.8", "--representatives"},
                           {"clusters.csv", "clusters.tsv", "consensus.mgf", "representatives.mgf"}, carried);
    // A share's last precursor group went on in the next share and moved there.
    EXPECT_TRUE(carried);
}

// Dot Product Mod pairs equal charges; Dot Product X also charge 3 with charge 2.
TEST_F(MpiRun, ModificationSearchGivesTheFilesAndOutputOfOneProcess) {
    for (const char* method : {"2", "4"}) {
        SCOPED_TRACE(std::string("method ") + method);
        bool partners = false;
        ExpectSameAsOneProcess("modsearch", {"--method", method, "--raw-scores"},
                               {"pairs.csv", "score.txt", "temp.temp", "score_histogram.tsv", "offsets.tsv"}, partners);
        // The mass window of a rank's spectra reached into later ranks.
        EXPECT_TRUE(partners);
    }
}

// A fault in the second half of a file, which the second rank reads: the job stops with
// that rank's message and the status of bad input, and leaves no result behind.
TEST_F(MpiRun, ARankThatFailsEndsTheJob) {
    const TempDir runs;
    std::string text = ReadFile(dir_->path() / "a.mgf");
    const std::size_t late = text.find("END IONS", text.size() * 3 / 4);
    text.insert(late, "100 x\n");
    WriteFile(runs / "bad.mgf", text);
    const Outcome failed = RunProgram(runs, 2, SPECLINK_MPI_BINARY, {"cluster", runs / "bad.mgf", "-o", runs / "out"});
    EXPECT_EQ(failed.code, cli::EXIT_INPUT);
    EXPECT_NE(failed.err.find("speclink: error: rank 1: " + runs / "bad.mgf" + ":"), std::string::npos) << failed.err;
    EXPECT_NE(failed.err.find("expected a number for the peak intensity, found 'x'"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(runs.path() / "out"));

    const Outcome refused = RunProgram(runs, 2, SPECLINK_MPI_BINARY, {"cluster", runs / "bad.mgf", "-o", runs / "out",
                                                               "--keep-order"});
    EXPECT_EQ(refused.code, cli::EXIT_USAGE);
    // What every rank meets alike is said once.
    const std::string message = "speclink: error: --keep-order needs every record on one process: run speclink "
                                "without MPI\n";
    EXPECT_EQ(refused.err.find(message), refused.err.rfind(message)) << refused.err;
    EXPECT_NE(refused.err.find(message), std::string::npos) << refused.err;
}

}  // namespace
}  // namespace speclink::mpi
