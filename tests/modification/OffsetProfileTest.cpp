// The mass-offset profile: peaks of the pairs' mass differences and what they may be.

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "speclink/library/modification/MassOffsetProfile.h"
#include "speclink/library/modification/OffsetAnnotation.h"

namespace speclink {
namespace {

std::vector<ListedPair> Pairs(const std::vector<double>& differences) {
    std::vector<ListedPair> pairs;
    for (std::size_t k = 0; k < differences.size(); ++k) {
        pairs.push_back({static_cast<uint32_t>(2 * k), static_cast<uint32_t>(2 * k + 1), differences[k],
                         0.5 + 0.01 * static_cast<double>(k % 10), 0});
    }
    return pairs;
}

TEST(MassOffsets, PeaksOfTheDifferencesMostPairsFirst) {
    // Five around 15.995 (either sign: the offset is the mass one spectrum carries more),
    // three around 79.966, two apart at 42.01 and 42.10 (their own peaks, of one pair each,
    // left out), one at 100.
    const std::vector<MassOffset> offsets = PickMassOffsets(
        Pairs({15.994, 15.996, -15.995, 15.993, 15.997, 79.966, 79.965, -79.967, 42.01, 42.10, 100.0}));
    ASSERT_EQ(offsets.size(), 2u);
    EXPECT_NEAR(offsets[0].apex, 15.995, 0.001);
    EXPECT_EQ(offsets[0].pairs, 5u);
    EXPECT_EQ(offsets[0].spectra, 10u);
    EXPECT_EQ(offsets[0].lower, 15.993);
    EXPECT_EQ(offsets[0].upper, 15.997);
    EXPECT_DOUBLE_EQ(offsets[0].median_score, 0.52);
    EXPECT_NEAR(offsets[1].apex, 79.966, 0.001);
    EXPECT_EQ(offsets[1].pairs, 3u);
    EXPECT_TRUE(PickMassOffsets({}).empty());
}

TEST(MassOffsets, NeighbouringPeaksSplitAtTheValley) {
    // Two offsets 0.016 Da apart, closer than twice the smoothing width: one run of the
    // distribution, cut where it is lowest between them.
    const std::vector<MassOffset> offsets =
        PickMassOffsets(Pairs({28.016, 28.017, 28.015, 28.017, 28.000, 28.001, 27.999}));
    ASSERT_EQ(offsets.size(), 2u);
    EXPECT_EQ(offsets[0].pairs, 4u);
    EXPECT_EQ(offsets[0].lower, 28.015);
    EXPECT_EQ(offsets[1].pairs, 3u);
    EXPECT_EQ(offsets[1].upper, 28.001);
}

// The profile depends on the pairs, not on their order or the order of their spectra.
RC_GTEST_PROP(MassOffsets, OrderOfThePairsDoesNotMatter, ()) {
    const auto masses = *rc::gen::container<std::vector<int>>(rc::gen::inRange(6000, 20000));
    std::vector<ListedPair> pairs;
    for (std::size_t k = 0; k < masses.size(); ++k) {
        pairs.push_back({static_cast<uint32_t>(k), static_cast<uint32_t>(k + 1), masses[k] / 200.0, (k % 7) / 7.0, 0});
    }
    const std::vector<MassOffset> expected = PickMassOffsets(pairs);
    std::mt19937 random(*rc::gen::arbitrary<unsigned>());
    std::shuffle(pairs.begin(), pairs.end(), random);
    for (ListedPair& pair : pairs) {
        if (random() % 2 == 0) {
            std::swap(pair.first, pair.second);
            pair.mass_difference = -pair.mass_difference;
        }
    }
    const std::vector<MassOffset> shuffled = PickMassOffsets(pairs);
    RC_ASSERT(shuffled.size() == expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        RC_ASSERT(shuffled[k].apex == expected[k].apex);
        RC_ASSERT(shuffled[k].pairs == expected[k].pairs);
        RC_ASSERT(shuffled[k].median_score == expected[k].median_score);
    }
}

TEST(OffsetAnnotation, NamesSinglesSumsSubstitutionsAndResidues) {
    const std::vector<KnownModification> modifications = {
        {"Acetyl", 42.010565, 1, false},   {"Carbamidomethyl", 57.021464, 4, false},
        {"Phospho", 79.966331, 21, false}, {"Oxidation", 15.994915, 35, false},
        {"Ala->Ser", 15.994915, 540, true},
    };
    const std::vector<ResidueMass> residues = {{'G', 57.021464}};
    const OffsetAnnotation oxidation = AnnotateOffset(15.995, modifications, residues, 0.01);
    EXPECT_EQ(oxidation.modifications, (std::vector<std::string>{"Oxidation"}));
    EXPECT_EQ(oxidation.substitutions, (std::vector<std::string>{"Ala->Ser"}));
    EXPECT_TRUE(oxidation.combinations.empty());
    // Two oxidations; oxidation and phospho; acetyl and carbamidomethyl (lighter first).
    EXPECT_EQ(AnnotateOffset(31.99, modifications, residues, 0.01).combinations,
              (std::vector<std::string>{"Oxidation + Oxidation"}));
    EXPECT_EQ(AnnotateOffset(95.961, modifications, residues, 0.01).combinations,
              (std::vector<std::string>{"Oxidation + Phospho"}));
    EXPECT_EQ(AnnotateOffset(99.032, modifications, residues, 0.01).combinations,
              (std::vector<std::string>{"Acetyl + Carbamidomethyl"}));
    const OffsetAnnotation glycine = AnnotateOffset(57.02, modifications, residues, 0.01);
    EXPECT_EQ(glycine.modifications, (std::vector<std::string>{"Carbamidomethyl"}));
    EXPECT_EQ(glycine.residues, (std::vector<char>{'G'}));
    EXPECT_TRUE(AnnotateOffset(57.05, modifications, residues, 0.01).modifications.empty());
}

}  // namespace
}  // namespace speclink
