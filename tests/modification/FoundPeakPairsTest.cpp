// The peak pairs a modification search finds for a whole row at once (FragmentIndex,
// PartnerCandidates) against the pair-by-pair match test: every pair of peaks that passes,
// directly or shifted by the difference of the precursor masses, is found, and the scores
// from the pairs found are bit for bit those of ComputeScore.
#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "speclink/library/modification/FragmentIndex.h"
#include "speclink/library/modification/MassWindowIndex.h"
#include "speclink/library/modification/PartnerCandidates.h"
#include "speclink/library/scoring/GreedyMatchRules.h"
#include "speclink/library/scoring/IndexedGreedyScore.h"
#include "speclink/library/scoring/PreparedPeakLists.h"
#include "speclink/library/scoring/Similarity.h"
#include "speclink/tests/scoring/ScoringTestSupport.h"

namespace speclink {
namespace {

CSpectrum SpectrumOf(double mass, PeakList peaks, int32_t charge = 2) {
    CSpectrum spectrum;
    spectrum.precursor_mass = mass;
    spectrum.charge = charge;
    spectrum.peaks = std::move(peaks);
    return spectrum;
}

// ForEachNear's finds, as (place by charge and mass, peak position in the ranked list).
std::vector<std::pair<uint32_t, uint16_t>> Near(const FragmentIndex& index, FragmentIndex::Key which, double key,
                                                double reach, uint32_t first, uint32_t end) {
    std::vector<std::pair<uint32_t, uint16_t>> found;
    index.ForEachNear(which, key, reach, first, end,
                      [&](uint32_t p, uint16_t l, const Peak& /*peak*/) { found.emplace_back(p, l); });
    return found;
}

TEST(FragmentIndex, FindsThePeaksNearAKeyAmongTheSpectraOfARange) {
    // Ranked lists run by falling intensity: the peak positions below are those of that order.
    const std::vector<CSpectrum> spectra = {
        SpectrumOf(1000.0, {{100.0, 9.0}, {200.0, 4.0}, {300.0, 1.0}}),
        SpectrumOf(984.0, {{100.4, 4.0}, {184.0, 9.0}, {299.49, 1.0}}),
        SpectrumOf(950.0, {{99.6, 1.0}, {101.0, 4.0}}, 3),
        SpectrumOf(900.0, {{-1.0, 1.0}, {100.0, 4.0}}),  // a negative m/z: not held
    };
    const PreparedPeakLists prepared(spectra, nullptr, {}, 1);
    const FragmentIndex index(spectra, prepared, {});
    ASSERT_FALSE(index.Holds(3));
    // By charge, then mass.
    EXPECT_EQ(index.PositionOf(1), 0U);
    EXPECT_EQ(index.PositionOf(0), 1U);
    EXPECT_EQ(index.PositionOf(2), 2U);

    using Found = std::vector<std::pair<uint32_t, uint16_t>>;
    using Key = FragmentIndex::Key;
    struct Case {
        const char* what;
        Key key;
        double at;
        uint32_t first;
        uint32_t end;
        Found expected;
    };
    const Case cases[] = {
        {"m/z 100 within 0.5, across the cells 99 and 100", Key::kMz, 100.0, 0, 3, {{2, 1}, {0, 1}, {1, 0}}},
        {"the same among the doubly charged", Key::kMz, 100.0, 0, 2, {{0, 1}, {1, 0}}},
        {"the same among the triply charged", Key::kMz, 100.0, 2, 3, {{2, 1}}},
        {"m/z 300: 299.49 lies beyond", Key::kMz, 300.0, 0, 3, {{1, 2}}},
        {"m/z less mass: 200 - 1000 meets 184 - 984", Key::kMzLessMass, -800.0, 0, 3, {{0, 0}, {1, 1}}},
        {"m/z less mass beyond every key", Key::kMzLessMass, 5.0, 0, 3, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Near(index, c.key, c.at, 0.5, c.first, c.end), c.expected) << c.what;
    }
}

// A list of spectra whose peaks meet one another's near the tolerance, directly and shifted
// by the differences of their masses: each peak of a base list turns up in a spectrum as
// it is, or moved by the spectrum's mass less the first one's, or either moved by about
// the tolerance (just inside, on it, just outside). Pairs are sought among equal charges.
std::vector<CSpectrum> RelatedSpectra(double tolerance) {
    const PeakList base = *test::FinePeakList(30);
    const auto count = *rc::gen::inRange<std::size_t>(2, 7);
    const auto near_one = rc::gen::element(1.0 - 1e-12, 1.0 - 1e-15, 1.0, 1.0 + 1e-15, 1.0 - 1e-9, 1.0 - 1e-7, 0.999);
    std::vector<CSpectrum> spectra;
    const double first_mass = 1000.0;
    for (std::size_t k = 0; k < count; ++k) {
        const double mass =
            k == 0 ? first_mass
                   : first_mass + *rc::gen::element(-16.0, -15.994915, -79.966331, -6.0, -200.0, -200.001, 6.0, 42.0106,
                                                    -0.3, 0.0);
        PeakList peaks;
        for (const Peak& peak : base) {
            const double moved = peak.mz + (mass - first_mass);
            const double edge = *rc::gen::element(tolerance, -tolerance) * *near_one;
            switch (*rc::gen::inRange(0, 6)) {
                case 0: peaks.push_back({peak.mz, peak.intensity}); break;
                case 1: peaks.push_back({moved, peak.intensity * 0.5}); break;
                case 2: peaks.push_back({peak.mz + edge, peak.intensity + 1.0}); break;
                case 3: peaks.push_back({moved + edge, peak.intensity + 2.0}); break;
                default: break;
            }
        }
        std::sort(peaks.begin(), peaks.end(), ByMzAscending);
        spectra.push_back(SpectrumOf(mass, std::move(peaks), *rc::gen::element(2, 2, 3)));
    }
    return spectra;
}

RC_GTEST_PROP(PartnerCandidates, FindEveryPassingPairAndScoreAsComputeScore, ()) {
    const double tolerance = *rc::gen::element(0.5, 0.25, 1.0);
    const std::vector<CSpectrum> spectra = RelatedSpectra(tolerance);
    const auto window_bounds = *rc::gen::element(std::pair{6.0, 200.0}, std::pair{0.0, 50.0});
    const MassWindowIndex window(spectra, window_bounds.first, window_bounds.second);
    const PreparedPeakLists prepared(spectra, nullptr, {}, 1);
    const FragmentIndex index(spectra, prepared, {});
    std::vector<uint64_t> marks = window.NewMarks();
    PartnerCandidates candidates;
    GreedyScratch scratch;
    for (std::size_t i = 0; i < spectra.size(); ++i) {
        std::vector<std::size_t> partners;
        window.ForEachLaterCandidate(i, marks, [&](std::size_t j) { partners.push_back(j); });
        candidates.Gather(index, tolerance, i, partners);
        for (std::size_t c = 0; c < partners.size(); ++c) {
            const std::size_t j = partners[c];
            const FoundPeakPairs* found = candidates.Of(c);
            const bool sought = index.Holds(i) && index.Holds(j) && spectra[i].charge == spectra[j].charge;
            RC_ASSERT((found != nullptr) == sought);
            if (found == nullptr) continue;
            const double shift = spectra[i].precursor_mass - spectra[j].precursor_mass;
            RC_ASSERT(std::bit_cast<uint64_t>(found->shift) == std::bit_cast<uint64_t>(shift));
            RC_ASSERT(std::is_sorted(found->pairs.begin(), found->pairs.end(),
                                     [](const auto& a, const auto& b) { return a.first < b.first; }));

            const PeakList& first = prepared[i].ranked.peaks();
            const PeakList& second = prepared[j].ranked.peaks();
            std::set<std::pair<uint32_t, uint32_t>> pairs;
            for (const FoundPeakPair& pair : found->pairs) {
                RC_ASSERT(pair.second_peak == second[pair.second]);
                pairs.emplace(pair.first, pair.second);
            }
            const greedy::ShiftedTest test{tolerance, TOLERANCE_DA, shift};
            for (uint32_t k = 0; k < first.size(); ++k) {
                for (uint32_t l = 0; l < second.size(); ++l) {
                    if (test(first[k], second[l]) || greedy::BonanzaTest{tolerance, shift}(first[k], second[l])) {
                        RC_ASSERT(pairs.count({k, l}) == 1U);
                    }
                }
            }
            for (const Similar_Method method : {SIMILAR_DOT_PRODUCT_MOD, SIMILAR_BONANZA}) {
                const CSimilarity scorer(method, tolerance, TOLERANCE_DA);
                PeakList first_copy = prepared[i].by_mz;
                PeakList second_copy = prepared[j].by_mz;
                const double expected = scorer.ComputeScore(first_copy, second_copy, shift);
                const std::optional<double> score =
                    FoundGreedyScore(scorer, prepared[i].ranked, prepared[j].ranked, shift, *found, scratch);
                RC_ASSERT(score.has_value());
                RC_ASSERT(std::bit_cast<uint64_t>(*score) == std::bit_cast<uint64_t>(expected));
            }
        }
    }
}

TEST(FoundGreedyScore, ServesOnlyTheShiftAndTolerancesItWasFoundFor) {
    const IndexedPeakList first(PeakList{{100.0, 2.0}, {200.0, 1.0}});
    const IndexedPeakList second(PeakList{{100.0, 2.0}, {184.0, 1.0}});
    const std::vector<FoundPeakPair> pairs = {{0, 0, {100.0, 2.0}}, {1, 1, {184.0, 1.0}}};
    const FoundPeakPairs found{pairs, 16.0, 0.5};
    GreedyScratch scratch;
    CSimilarity replaced(SIMILAR_DOT_PRODUCT_MOD, 0.5, TOLERANCE_DA);
    replaced.score_table[SIMILAR_DOT_PRODUCT_MOD] = &CSimilarity::Bonanza;
    struct Case {
        const char* what;
        CSimilarity scorer;
        double shift;
        bool served;
    };
    const Case cases[] = {
        {"Dot Product Mod at the shift found", CSimilarity(SIMILAR_DOT_PRODUCT_MOD, 0.5, TOLERANCE_DA), 16.0, true},
        {"a narrower tolerance", CSimilarity(SIMILAR_DOT_PRODUCT_MOD, 0.25, TOLERANCE_DA), 16.0, true},
        {"Bonanza", CSimilarity(SIMILAR_BONANZA, 0.5, TOLERANCE_DA), 16.0, true},
        {"another shift", CSimilarity(SIMILAR_DOT_PRODUCT_MOD, 0.5, TOLERANCE_DA), 8.0, false},
        {"a wider tolerance", CSimilarity(SIMILAR_DOT_PRODUCT_MOD, 0.6, TOLERANCE_DA), 16.0, false},
        {"ppm", CSimilarity(SIMILAR_DOT_PRODUCT_MOD, 0.5, TOLERANCE_PPM), 16.0, false},
        {"Dot Product Half", CSimilarity(SIMILAR_DOT_PRODUCT_HALF, 0.5, TOLERANCE_DA), 16.0, false},
        {"Dot Product", CSimilarity(SIMILAR_DOT_PRODUCT, 0.5, TOLERANCE_DA), 16.0, false},
        {"a replaced scoring operation", replaced, 16.0, false},
    };
    for (const Case& c : cases) {
        const std::optional<double> score = FoundGreedyScore(c.scorer, first, second, c.shift, found, scratch);
        EXPECT_EQ(score.has_value(), c.served) << c.what;
        if (score) {
            EXPECT_EQ(*score, IndexedGreedyScore(c.scorer, first, second, c.shift, scratch)) << c.what;
        }
    }
}

}  // namespace
}  // namespace speclink
