#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "speclink/cli/InputSpectra.h"

namespace speclink::cli {
namespace {

// Records of few charges and few masses, so that many compare equal; each record's name
// and source carry its input position.
InputSpectra RandomInput(std::mt19937_64& random, size_t count) {
    InputSpectra input;
    for (size_t k = 0; k < count; ++k) {
        CSpectrum record;
        record.charge = 1 + static_cast<int32_t>(random() % 3);
        record.precursor_mass = 800.0 + static_cast<double>(random() % 7);
        record.file_name = "r." + std::to_string(k) + "." + std::to_string(k) + ".2.dta";
        input.spectra.push_back(std::move(record));
        input.origins.push_back({static_cast<uint32_t>(k % 3), "id " + std::to_string(k)});
    }
    return input;
}

TEST(OrderForClustering, SortsByChargeThenMassAndKeepsTheInputOrderOfEqualRecords) {
    std::mt19937_64 random(5);
    for (const size_t count : {0u, 1u, 2u, 17u, 500u}) {
        InputSpectra input = RandomInput(random, count);
        std::vector<size_t> expected(count);
        for (size_t k = 0; k < count; ++k) expected[k] = k;
        std::stable_sort(expected.begin(), expected.end(), [&](size_t a, size_t b) {
            const CSpectrum& x = input.spectra[a];
            const CSpectrum& y = input.spectra[b];
            return x.charge != y.charge ? x.charge < y.charge : x.precursor_mass < y.precursor_mass;
        });
        const InputSpectra original = input;
        OrderForClustering(input);
        ASSERT_EQ(input.spectra.size(), count);
        for (size_t k = 0; k < count; ++k) {
            EXPECT_EQ(input.spectra[k].file_name, original.spectra[expected[k]].file_name) << count << ": " << k;
            EXPECT_EQ(input.origins[k].native_id, original.origins[expected[k]].native_id) << count << ": " << k;
        }
    }
}

// Names taken before get the first free suffix after the part before their first dot.
TEST(MakeNamesUnique, SuffixesTakenNamesAndCountsThem) {
    InputSpectra input;
    for (const char* name : {"run.7.7.2.dta", "run.7.7.2.dta", "run_2.7.7.2.dta", "run.7.7.2.dta", "plain", "plain",
                             "run.8.8.2.dta"}) {
        input.spectra.push_back(CSpectrum());
        input.spectra.back().file_name = name;
    }
    MakeNamesUnique(input);
    std::vector<std::string> names;
    for (const CSpectrum& spectrum : input.spectra) names.push_back(spectrum.file_name);
    // The third name was taken by the renamed second: it becomes "run_2_2...".
    EXPECT_EQ(names, (std::vector<std::string>{"run.7.7.2.dta", "run_2.7.7.2.dta", "run_2_2.7.7.2.dta", "run_3.7.7.2.dta",
                                               "plain", "plain_2", "run.8.8.2.dta"}));
    EXPECT_EQ(input.renamed, 4u);
}

}  // namespace
}  // namespace speclink::cli
