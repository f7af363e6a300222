// Fuzz target: grouping of the mass differences of an arbitrary pair list. The first bytes
// choose the tolerance; the rest is the pair list. The scratch directory is the working
// directory, where "temp.temp" is written.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "speclink/tests/fuzz/FuzzSupport.h"
#include "speclink/library/modification/MassDifferenceClustering.h"

namespace {

/// Pair lists up to this size keep one run fast: the merging is quadratic in the line count.
constexpr size_t kMaxPairListBytes = 4096;

/// The pieces the pair list is read in: lines, a longer line cut every 259 characters.
int64_t PieceCount(const std::string& text) {
    int64_t pieces = 0;
    size_t length = 0;
    for (const char c : text) {
        ++length;
        if (c == '\n' || length == 259) {
            ++pieces;
            length = 0;
        }
    }
    return pieces + (length > 0 ? 1 : 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using speclink::fuzz::Require;
    if (size > kMaxPairListBytes + 16) return 0;
    const auto& scratch = speclink::fuzz::Scratch();
    static const bool in_scratch = (std::filesystem::current_path(scratch.path()), true);
    Require(in_scratch, "working directory");

    FuzzedDataProvider in(data, size);
    double tolerance = 0.01;
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: break;
        case 1: tolerance = in.ConsumeFloatingPointInRange<double>(0.0, 2.0); break;
        case 2: tolerance = in.ConsumeFloatingPointInRange<double>(-10.0, 5000.0); break;
        default: tolerance = in.ConsumeFloatingPoint<double>(); break;
    }
    const std::string pair_list = in.ConsumeRemainingBytesAsString();
    const std::string path = scratch.Write("pairs.csv", reinterpret_cast<const uint8_t*>(pair_list.data()),
                                           pair_list.size());
    std::filesystem::remove(scratch.path() / "temp.temp");
    speclink::ClusterMassDifferences(path, tolerance);

    // Every piece read is counted in exactly one group, largest groups first.
    std::ifstream groups(scratch.path() / "temp.temp");
    Require(groups.good(), "temp.temp not written");
    int64_t total = 0;
    int previous = INT32_MAX;
    for (std::string line; std::getline(groups, line);) {
        double mean = 0.0;
        int count = 0;
        Require(std::sscanf(line.c_str(), "%lf,%d, 0, 0, 0, 0, 0", &mean, &count) == 2, "malformed temp.temp line");
        Require(count >= 1 && count <= previous, "group counts not in descending order");
        previous = count;
        total += count;
    }
    Require(total == PieceCount(pair_list), "groups do not count every line of the pair list");
    return 0;
}
