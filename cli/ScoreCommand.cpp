// speclink score: the similarity of two spectra by every method, for inspection.

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <memory>

#include "speclink/cli/CommandErrors.h"
#include "speclink/cli/Commands.h"
#include "speclink/cli/SettingOptions.h"
#include "speclink/formats/ReadOptions.h"
#include "speclink/formats/SpectrumReader.h"
#include "speclink/library/peaks/PeakSelect.h"
#include "speclink/library/peaks/SqrtNormalize.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink::cli {

namespace {

struct ScoreOptions {
    std::string first;
    std::string second;
    std::string method;
    std::string fragment_tol = FormatTolerance(Settings{}.fragment_ion_tol);
    double shift = 0.0;
    bool raw = false;
    int peak_select = defaults::kPeakSelectMethod;
    int whole_top = defaults::kWholeTopPeakNum;
    int part_top = defaults::kPartTopPeakNum;
    int part_window = defaults::kPartTopPeakPerNum;
    CLI::Option* shift_option = nullptr;
};

// "FILE", "FILE:N" (the N-th spectrum, from 1), "FILE:scan=N" or "FILE:title=TEXT".
CSpectrum FindSpectrum(const std::string& reference) {
    std::string path = reference;
    std::string selector;
    const auto colon = reference.rfind(':');
    if (colon != std::string::npos && colon + 1 < reference.size()) {
        path = reference.substr(0, colon);
        selector = reference.substr(colon + 1);
    }
    long wanted_index = 1;
    long wanted_scan = -1;
    std::string wanted_title;
    if (selector.rfind("scan=", 0) == 0) {
        wanted_scan = std::strtol(selector.c_str() + 5, nullptr, 10);
    } else if (selector.rfind("title=", 0) == 0) {
        wanted_title = selector.substr(6);
    } else if (!selector.empty()) {
        char* end = nullptr;
        wanted_index = std::strtol(selector.c_str(), &end, 10);
        if (*end != '\0' || wanted_index < 1)
            throw UsageError("'" + reference + "': expected FILE, FILE:N (from 1), FILE:scan=N or FILE:title=TEXT");
    }
    ReadOptions options;
    options.assign_charges = {2};
    long index = 0;
    bool found = false;
    CSpectrum spectrum;
    ReadSpectra(path, options, [&](CSpectrum&& record, std::string_view) {
        ++index;
        if (found) return;
        const bool match = wanted_scan >= 0 ? record.scan == wanted_scan
                           : !wanted_title.empty() ? record.title == wanted_title
                                                   : index == wanted_index;
        if (match) {
            spectrum = std::move(record);
            found = true;
        }
    });
    if (!found) throw InputError("'" + reference + "': no such spectrum in " + path);
    return spectrum;
}

void Describe(const char* which, const CSpectrum& spectrum, size_t prepared) {
    std::printf("%s: %s  [M+H]+ %.6f Da  charge %d  peaks %zu (%zu scored)\n", which, spectrum.file_name.c_str(),
                spectrum.precursor_mass, spectrum.charge, spectrum.peaks.size(), prepared);
}

}  // namespace

void AddScoreCommand(CLI::App& app) {
    auto options = std::make_shared<ScoreOptions>();
    CLI::App* command = app.add_subcommand(
        "score",
        "Score two spectra by every similarity method (or one). A spectrum is FILE (its first), FILE:N (the N-th, "
        "from 1), FILE:scan=N or FILE:title=TEXT. Peaks are prepared as the engines prepare them.");
    command->add_option("first", options->first, "First spectrum")->required();
    command->add_option("second", options->second, "Second spectrum")->required();
    command->add_option("--method", options->method, "Only this method (number or name); default: methods 0 to 6");
    command->add_option("--fragment-tol", options->fragment_tol, "Fragment tolerance, e.g. 0.5Da or 20ppm");
    options->shift_option = command->add_option(
        "--shift", options->shift, "Shift in Da; default: the precursor mass difference, first minus second");
    command->add_flag("--raw", options->raw, "Score the peaks as read, without peak selection and normalisation");
    command->add_option("--peak-select", options->peak_select, "Peak selection method 0 to 3");
    command->add_option("--whole-top-peaks", options->whole_top, "N: peaks kept from the whole spectrum");
    command->add_option("--part-top-peaks", options->part_top, "K: peaks kept per m/z window")
        ->check(CLI::PositiveNumber);
    command->add_option("--part-window", options->part_window, "W: width of an m/z window (Th)")
        ->check(CLI::PositiveNumber);
    command->callback([options] {
        Tolerance tolerance;
        int first_method = 0;
        int last_method = 6;
        try {
            tolerance = ParseTolerance(options->fragment_tol);
            if (!options->method.empty()) {
                first_method = last_method = ParseSimilarMethod(options->method);
                if (first_method == SIMILAR_COMPREHENSIVE)
                    throw std::invalid_argument("\"Comprehensive\" is resolved per pair by modsearch; pick 2 or 4");
            }
        } catch (const std::invalid_argument& error) {
            throw UsageError(error.what());
        }
        const CSpectrum first = FindSpectrum(options->first);
        const CSpectrum second = FindSpectrum(options->second);
        PeakList first_peaks = first.peaks;
        PeakList second_peaks = second.peaks;
        if (!options->raw) {
            const CPeakSelect select(static_cast<Peak_Select_Method>(options->peak_select), options->whole_top,
                                     options->part_top, options->part_window);
            for (PeakList* peaks : {&first_peaks, &second_peaks}) {
                select.SelectPeak(*peaks);
                SqrtNormalize(*peaks);
            }
        }
        const double shift =
            options->shift_option->count() > 0 ? options->shift : first.precursor_mass - second.precursor_mass;
        Describe("first ", first, first_peaks.size());
        Describe("second", second, second_peaks.size());
        std::printf("shift %.6f Da, fragment tolerance %s\n", shift, FormatTolerance(tolerance).c_str());
        for (int method = first_method; method <= last_method; ++method) {
            CSimilarity scorer(static_cast<Similar_Method>(method), tolerance.value, tolerance.unit);
            // Each method gets fresh copies: scoring sorts its lists in place.
            PeakList a = first_peaks;
            PeakList b = second_peaks;
            std::printf("%d %-17s %.6f\n", method, SimilarMethodNames[method], scorer.ComputeScore(a, b, shift));
        }
    });
}

}  // namespace speclink::cli
