// speclink simulate: peptide-like spectra with known peptides, for trying things out.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <system_error>

#include "speclink/cli/CommandErrors.h"
#include "speclink/cli/Commands.h"
#include "speclink/cli/SpectrumSimulator.h"
#include "speclink/formats/MgfWriter.h"
#include "speclink/library/common/StdioFile.h"

namespace speclink::cli {

namespace {

struct SimulateOptions {
    SimulationOptions simulation;
    std::string output;
    std::string truth;
};

void WriteTruth(const SimulatedSpectra& simulated, const std::string& path) {
    StdioFile owned = OpenStdioFile(path, "w");
    if (!owned) throw OutputError("cannot write " + path);
    std::FILE* file = owned.get();
    std::fprintf(file, "scan\ttitle\tcharge\tprecursor_mz\tpeptide\tmodification\tmodification_mass\tmodification_site\n");
    for (size_t k = 0; k < simulated.truth.size(); ++k) {
        const SimulatedTruth& truth = simulated.truth[k];
        const CSpectrum& spectrum = simulated.spectra[k];
        std::fprintf(file, "%d\t%s\t%d\t%.5f\t%s\t%s\t%.4f\t%d\n", truth.scan, spectrum.title.c_str(), truth.charge,
                     spectrum.precursor_mz, truth.peptide.c_str(),
                     truth.modification.empty() ? "-" : truth.modification.c_str(), truth.modification_mass,
                     truth.modification_site < 0 ? -1 : truth.modification_site + 1);
    }
    const bool failed = std::ferror(file) != 0;
    if (std::fclose(owned.release()) != 0 || failed) throw OutputError("cannot write " + path);
}

}  // namespace

void AddSimulateCommand(CLI::App& app) {
    auto options = std::make_shared<SimulateOptions>();
    CLI::App* command = app.add_subcommand(
        "simulate",
        "Make peptide-like MS/MS spectra with known peptides: b/y fragments of random tryptic peptides, replicates "
        "with m/z jitter, dropped and noise peaks, charges 2 and 3, and a share carrying Oxidation (+15.9949), "
        "Phospho (+79.9663) or Acetyl (+42.0106). The truth table gives each spectrum's peptide and modification.");
    command->add_option("-n,--spectra", options->simulation.spectra, "Number of spectra")
        ->default_str("")
        ->required()
        ->check(CLI::Range(1, 100000000));
    command->add_option("-o,--out", options->output, "MGF file to write")->required();
    command->add_option("--truth", options->truth, "Truth table to write (tab-separated)")->required();
    command->add_option("--seed", options->simulation.seed, "Random seed: the same seed gives the same spectra");
    command->add_option("--replicates", options->simulation.replicates_mean, "Mean spectra per peptide form")
        ->check(CLI::Range(1.0, 100.0));
    command->add_option("--modified-share", options->simulation.modified_share,
                        "Share of peptides that also appear with a modification")
        ->check(CLI::Range(0.0, 1.0));
    command->add_option("--noise-peaks", options->simulation.noise_peaks, "Random peaks added to each spectrum")
        ->check(CLI::Range(0, 10000));
    command->callback([options] {
        const SimulatedSpectra simulated = SimulateSpectra(options->simulation);
        try {
            MgfWriter writer(options->output);
            for (const CSpectrum& spectrum : simulated.spectra) writer.Write(spectrum);
            writer.Close();
        } catch (const std::system_error& error) {
            throw OutputError(options->output + ": " + error.what());
        }
        WriteTruth(simulated, options->truth);
        std::printf("wrote %zu spectra to %s and their peptides to %s\n", simulated.spectra.size(),
                    options->output.c_str(), options->truth.c_str());
    });
}

}  // namespace speclink::cli
