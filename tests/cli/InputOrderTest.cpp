#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
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
        input.sources.push_back(k % 3 == 0 ? std::filesystem::path("in/" + std::to_string(k)) : std::filesystem::path());
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
            EXPECT_EQ(input.sources[k], original.sources[expected[k]]) << count << ": " << k;
        }
    }
}

TEST(RequireUniqueNames, NamesTheFirstTwoRecordsThatShareAName) {
    std::mt19937_64 random(6);
    InputSpectra input = RandomInput(random, 10);
    EXPECT_NO_THROW(RequireUniqueNames(input));
    input.spectra[7].file_name = input.spectra[2].file_name;
    input.spectra[9].file_name = input.spectra[0].file_name;
    try {
        RequireUniqueNames(input);
        ADD_FAILURE() << "two records of one name were accepted";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "two spectra are both named 'r.2.2.2.dta' (records 3 and 8); their output files would overwrite "
                  "each other. Rename one input file.");
    }
}

}  // namespace
}  // namespace speclink::cli
