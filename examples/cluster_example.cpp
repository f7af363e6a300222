// A minimal host: builds a handful of spectra in memory, clusters them with the
// library's default settings and prints the cluster result file.
//
//   cluster_example OUTDIR

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "speclink/library/speclink.h"

namespace {

speclink::CSpectrum MakeSpectrum(const char* name, double mass, double scale) {
    speclink::CSpectrum spectrum;
    spectrum.file_name = name;
    spectrum.precursor_mass = mass;
    spectrum.charge = 2;
    for (int k = 1; k <= 20; ++k) spectrum.peaks.push_back({100.0 + 37.1 * k, scale * (k % 7 + 1)});
    return spectrum;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: cluster_example OUTDIR\n";
        return 2;
    }
    const std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out);
    const std::string result = (out / "clusters.csv").string();

    speclink::CPara para;
    // The data directory holds no files here: single spectra are written from memory.
    para.SetDataClass(speclink::FORMAT_DTA, "memory", out.string(), result, 10);
    para.SetRepresentativeClass(speclink::CONSENSUS_SPECTRA, 0.4, speclink::TOLERANCE_DA);
    para.SetCluster(para.spectra_process, para.representative_spectra, speclink::CLUSTER_HIERARCHICAL, 20.0,
                    speclink::TOLERANCE_PPM, 0.6);
    para.SetSimilarMethod(speclink::SIMILAR_DOT_PRODUCT, 0.5, speclink::TOLERANCE_DA);
    para.SetPeakSelect(speclink::PEAK_SELECT_PART_THEN_WHOLE_TOP, 50, 5, 100);

    // Sweep order: by charge, then precursor mass.
    const std::vector<speclink::CSpectrum> spectra = {
        MakeSpectrum("run.1.1.2.dta", 1000.000, 1.0), MakeSpectrum("run.2.2.2.dta", 1000.005, 2.0),
        MakeSpectrum("run.3.3.2.dta", 1000.010, 1.5), MakeSpectrum("run.4.4.2.dta", 1500.000, 1.0)};
    para.engine->Run(spectra, para.similarity, para.peak_select);

    std::ifstream in(result);
    std::cout << in.rdbuf();
    return 0;
}
