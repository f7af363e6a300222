// Fuzz target: peak selection and similarity scoring of arbitrary peak lists. The bytes are
// decoded into the selection method and counts, the scoring method (0 to 7 and beyond), the
// tolerance and its unit, the shift, two peak lists and the reach of a cell table's screen.
// The greedy scores must come out bit for bit the same by the m/z lookups of the engines,
// through a cell table with that screen, and from peak pairs found through an index of the
// two lists' peaks, as by the plain scan.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "speclink/tests/fuzz/FuzzSupport.h"
#include "speclink/library/data/Spectrum.h"
#include "speclink/library/modification/FragmentIndex.h"
#include "speclink/library/modification/PartnerCandidates.h"
#include "speclink/library/params/Para.h"
#include "speclink/library/peaks/PeakSelect.h"
#include "speclink/library/scoring/IndexedGreedyScore.h"
#include "speclink/library/scoring/IndexedPeakList.h"
#include "speclink/library/scoring/MzCellTable.h"
#include "speclink/library/scoring/PreparedPeakLists.h"
#include "speclink/library/scoring/Similarity.h"

namespace {

using speclink::Peak;
using speclink::PeakList;

constexpr size_t kMaxPeaks = 512;

/// A value in one of several ranges: real-looking, tiny, huge, negative or zero. With
/// `any` also infinities and NaN, which no reader hands on but a host may.
double ConsumeValue(FuzzedDataProvider& in, double typical_max, bool any) {
    switch (in.ConsumeIntegralInRange<int>(0, any ? 6 : 4)) {
        case 0: return in.ConsumeFloatingPointInRange<double>(0.0, typical_max);
        case 1: return static_cast<double>(in.ConsumeIntegralInRange<int>(0, 20)) * 0.25 + 100.0;
        case 2: return in.ConsumeFloatingPointInRange<double>(-typical_max, typical_max);
        case 3: return 0.0;
        case 4: return in.ConsumeFloatingPoint<double>();
        case 5: return std::numeric_limits<double>::infinity();
        default: return std::numeric_limits<double>::quiet_NaN();
    }
}

PeakList ConsumePeaks(FuzzedDataProvider& in, bool any) {
    PeakList peaks(in.ConsumeIntegralInRange<size_t>(0, kMaxPeaks));
    for (Peak& peak : peaks) {
        peak.mz = ConsumeValue(in, 2000.0, any);
        peak.intensity = ConsumeValue(in, 1e6, any);
    }
    return peaks;
}

/// Same peaks bit for bit (NaN included).
bool Identical(const PeakList& a, const PeakList& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(Peak)) == 0);
}

bool Finite(const PeakList& peaks) {
    return std::all_of(peaks.begin(), peaks.end(),
                       [](const Peak& p) { return std::isfinite(p.mz) && std::isfinite(p.intensity); });
}

/// Selection keeps a subset of the peaks, in ascending m/z.
void CheckSelection(const PeakList& before, const PeakList& after) {
    using speclink::fuzz::Require;
    Require(after.size() <= before.size(), "selection added peaks");
    if (!Finite(before)) return;
    Require(std::is_sorted(after.begin(), after.end(), speclink::ByMzAscending), "selection not in m/z order");
    for (const Peak& peak : after) {
        Require(std::find(before.begin(), before.end(), peak) != before.end(), "selection made up a peak");
    }
}

/// The engines' other way to the greedy scores: two spectra, the second of precursor mass
/// `mass` less `shift`, their peaks indexed and the peak pairs of the first with the second
/// found through the index. Where those pairs serve, the score from them must be the scan's
/// at the difference of the two masses.
void CheckFoundPairs(const speclink::CSimilarity& scorer, const PeakList& first, const PeakList& second,
                     double shift, double mass) {
    using speclink::fuzz::Require;
    const std::optional<double> tolerance = speclink::FoundPairsTolerance(scorer);
    if (!tolerance) return;
    std::vector<speclink::CSpectrum> spectra(2);
    spectra[0].precursor_mass = mass;
    spectra[0].peaks = first;
    spectra[1].precursor_mass = mass - shift;
    spectra[1].peaks = second;
    const speclink::PreparedPeakLists prepared(spectra, nullptr, {}, 1);
    const speclink::FragmentIndex index(spectra, prepared, {});
    speclink::PartnerCandidates candidates;
    const std::size_t partners[] = {1};
    candidates.Gather(index, *tolerance, 0, partners);
    const speclink::FoundPeakPairs* found = candidates.Of(0);
    if (found == nullptr) return;
    const double difference = spectra[0].precursor_mass - spectra[1].precursor_mass;
    speclink::GreedyScratch scratch;
    const std::optional<double> from_found =
        speclink::FoundGreedyScore(scorer, prepared[0].ranked, prepared[1].ranked, difference, *found, scratch);
    if (!from_found) return;
    PeakList first_scanned = prepared[0].by_mz;
    PeakList second_scanned = prepared[1].by_mz;
    const double scanned = scorer.ComputeScore(first_scanned, second_scanned, difference);
    Require(std::bit_cast<uint64_t>(*from_found) == std::bit_cast<uint64_t>(scanned),
            "the peak pairs found scored otherwise than the scan");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using speclink::fuzz::Require;
    FuzzedDataProvider in(data, size);
    const auto select_method = static_cast<speclink::Peak_Select_Method>(in.ConsumeIntegralInRange<int>(-1, 4));
    const int whole_top = in.ConsumeIntegralInRange<int>(-3, 80);
    const int part_top = in.ConsumeIntegralInRange<int>(-2, 12);
    const int part_width = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(-10, 300) : in.ConsumeIntegral<int>();
    const auto method = static_cast<speclink::Similar_Method>(in.ConsumeIntegralInRange<int>(-2, 9));
    const double tolerance = in.ConsumeBool() ? in.ConsumeFloatingPointInRange<double>(0.0, 1.0)
                                              : ConsumeValue(in, 50.0, false);
    const auto unit = static_cast<speclink::Tolerance_Type>(in.ConsumeIntegralInRange<int>(-1, 2));
    const double shift = in.ConsumeBool() ? in.ConsumeFloatingPointInRange<double>(-250.0, 250.0)
                                          : ConsumeValue(in, 1000.0, false);
    const double screen_reach = in.ConsumeBool() ? tolerance + 0.01 : ConsumeValue(in, 3.0, true);
    const bool any_values = in.ConsumeIntegralInRange<int>(0, 7) == 0;
    PeakList first = ConsumePeaks(in, any_values);
    PeakList second = ConsumePeaks(in, any_values);

    speclink::CPara para;
    para.SetPeakSelect(select_method, whole_top, part_top, part_width);
    para.SetSimilarMethod(method, tolerance, unit);

    const PeakList first_raw = first;
    const PeakList second_raw = second;
    para.SelectPeak(first);
    para.SelectPeak(second);
    CheckSelection(first_raw, first);
    CheckSelection(second_raw, second);

    const PeakList first_selected = first;
    const PeakList second_selected = second;
    const double score = para.ComputeSimilarScore(first, second, shift);
    Require(first.size() == first_selected.size() && second.size() == second_selected.size(),
            "scoring changed the number of peaks");
    if (method < 0 || method > 6) {
        Require(score == 0.0 && Identical(first, first_selected) && Identical(second, second_selected),
                "a method without a scoring operation scored or touched the lists");
    }
    // The greedy scores by lookups: the lists as the scan's sorts left them, the first
    // list's cell table with a screen.
    const bool greedy = method == speclink::SIMILAR_DOT_PRODUCT || method == speclink::SIMILAR_DOT_PRODUCT_MOD ||
                        method == speclink::SIMILAR_DOT_PRODUCT_HALF || method == speclink::SIMILAR_DOT_PRODUCT_X ||
                        method == speclink::SIMILAR_BONANZA;
    if (greedy) {
        const speclink::CSimilarity scorer(method, tolerance, unit);
        PeakList first_scanned = first_selected;
        PeakList second_scanned = second_selected;
        const double scanned = scorer.ComputeScore(first_scanned, second_scanned, shift);
        const speclink::IndexedPeakList first_list(first_scanned);
        const speclink::IndexedPeakList second_list(second_scanned);
        speclink::GreedyScratch scratch;
        speclink::MzCellTable table;
        const speclink::MzCellTable* table_given = nullptr;
        if (first_list.indexed()) {
            table.Build(first_list, screen_reach);
            table_given = &table;
        }
        const double looked_up =
            speclink::IndexedGreedyScore(scorer, first_list, second_list, shift, scratch, table_given);
        Require(std::bit_cast<uint64_t>(looked_up) == std::bit_cast<uint64_t>(scanned),
                "the lookups scored otherwise than the scan");
        CheckFoundPairs(scorer, first_selected, second_selected, shift, ConsumeValue(in, 4000.0, true));
    }
    // Non-negative, moderate intensities give a score between 0 and 1; "Peak Count" counts a
    // matched peak of intensity 0.0 again in its shifted walk, so it may reach 2.
    const auto moderate = [](const PeakList& peaks) {
        return std::all_of(peaks.begin(), peaks.end(), [](const Peak& p) {
            return std::isfinite(p.mz) && p.intensity >= 0.0 && p.intensity <= 1e6;
        });
    };
    if (moderate(first) && moderate(second) && std::isfinite(tolerance) && std::isfinite(shift)) {
        const double top = method == speclink::SIMILAR_PEAK_COUNT ? 2.0 : 1.0 + 1e-9;
        Require(score >= 0.0 && score <= top, "score outside 0 to 1");
    }
    return 0;
}
