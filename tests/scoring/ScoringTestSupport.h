#pragma once

#include <cstdint>

#include <rapidcheck.h>

#include "speclink/library/peaks/PeakList.h"
#include "speclink/tests/peaks/PeakPrinting.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink::test {

/// Scores copies of the two lists the way the engines do, through ComputeScore.
inline double Score(int32_t method, double tolerance, int32_t unit, PeakList first, PeakList second, double shift) {
    const CSimilarity scorer(static_cast<Similar_Method>(method), tolerance, static_cast<Tolerance_Type>(unit));
    return scorer.ComputeScore(first, second, shift);
}

/// Peaks on a coarse m/z grid (100.0 + 0.25 k), so that random lists share many peaks
/// within a tolerance and hit its bounds exactly; intensities in steps of 0.5.
inline rc::Gen<PeakList> GridPeakList(int max_size, int grid_steps, int min_intensity_steps) {
    const auto peak = rc::gen::apply([](int k, int n) { return Peak{100.0 + 0.25 * k, 0.5 * n}; },
                                     rc::gen::inRange(0, grid_steps), rc::gen::inRange(min_intensity_steps, 41));
    return rc::gen::mapcat(rc::gen::inRange(0, max_size + 1),
                           [peak](int size) { return rc::gen::container<PeakList>(static_cast<std::size_t>(size), peak); });
}

/// Peaks with m/z and intensity spread over many binary digits, for bit-exact comparisons.
inline rc::Gen<PeakList> FinePeakList(int max_size) {
    const auto peak = rc::gen::apply([](int mz, int intensity) { return Peak{mz / 1000.0, intensity / 7.0}; },
                                     rc::gen::inRange(100000, 130000), rc::gen::inRange(0, 1000000));
    return rc::gen::mapcat(rc::gen::inRange(0, max_size + 1),
                           [peak](int size) { return rc::gen::container<PeakList>(static_cast<std::size_t>(size), peak); });
}

}  // namespace speclink::test
