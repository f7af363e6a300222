#pragma once

// The rules of the greedy-matching scores: which peaks match, and how the matched products
// become a score. Shared by the plain scan over the inner list (GreedyMatchingScores.cpp)
// and the search by m/z over an indexed list (IndexedGreedyScore.cpp), so that both decide
// every pair of peaks, and sum every score, by the same expressions.

#include <cmath>
#include <cstddef>
#include <vector>

#include "speclink/library/params/Enums.h"
#include "speclink/library/peaks/PeakList.h"

namespace speclink::greedy {

/// Strict tolerance test of an m/z difference: in "Da" as it is, in "ppm" relative to
/// `reference`. Any unit other than "Da" counts as "ppm".
inline bool WithinTolerance(double difference, double reference, double tolerance, Tolerance_Type unit) {
    if (unit == TOLERANCE_DA) return std::fabs(difference) < tolerance;
    return std::fabs(difference) / reference * 1000000.0 < tolerance;
}

/// An inner m/z b can pass a test against an outer m/z a only when b lies close to
/// scale * a + offset; a test has one such line per way of passing.
struct MzLine {
    double scale;
    double offset;
};

/// "Dot Product": outer peak p of the second list, inner peak q of the first list;
/// abs(p - q) < t, in "ppm" relative to q.
struct DirectTest {
    double tolerance;
    Tolerance_Type unit;

    bool operator()(const Peak& p, const Peak& q) const {
        return WithinTolerance(p.mz - q.mz, q.mz, tolerance, unit);
    }
    bool Relative() const { return unit != TOLERANCE_DA; }
    double Shift() const { return 0.0; }
    int Lines(MzLine* lines) const {
        lines[0] = {1.0, 0.0};
        return 1;
    }
};

/// "Dot Product Mod" ("Dot Product Half" with half the shift): abs(a - b) < t relative to
/// b, else, when shift > 0.5, abs(a - c) < t relative to c = b + shift. A shift of 0.5 or
/// less (negative included) is not tried.
struct ShiftedTest {
    double tolerance;
    Tolerance_Type unit;
    double shift;

    bool operator()(const Peak& p, const Peak& q) const {
        if (WithinTolerance(p.mz - q.mz, q.mz, tolerance, unit)) return true;
        if (!(shift > 0.5)) return false;
        const double c = q.mz + shift;
        return WithinTolerance(p.mz - c, c, tolerance, unit);
    }
    bool Relative() const { return unit != TOLERANCE_DA; }
    double Shift() const { return shift > 0.5 ? shift : 0.0; }
    int Lines(MzLine* lines) const {
        lines[0] = {1.0, 0.0};
        if (!(shift > 0.5)) return 1;
        lines[1] = {1.0, -shift};
        return 2;
    }
};

/// "Dot Product X": as ShiftedTest, and besides each plain difference the doubled first-list
/// m/z is compared (2a - b, 2a - c), so that a singly charged fragment can match its doubly
/// charged counterpart.
struct DoubledTest {
    double tolerance;
    Tolerance_Type unit;
    double shift;

    bool operator()(const Peak& p, const Peak& q) const {
        const double a = p.mz;
        const double b = q.mz;
        if (WithinTolerance(a - b, b, tolerance, unit)) return true;
        if (WithinTolerance(2.0 * a - b, b, tolerance, unit)) return true;
        if (!(shift > 0.5)) return false;
        const double c = b + shift;
        if (WithinTolerance(a - c, c, tolerance, unit)) return true;
        return WithinTolerance(2.0 * a - c, c, tolerance, unit);
    }
    bool Relative() const { return unit != TOLERANCE_DA; }
    double Shift() const { return shift > 0.5 ? shift : 0.0; }
    int Lines(MzLine* lines) const {
        lines[0] = {1.0, 0.0};
        lines[1] = {2.0, 0.0};
        if (!(shift > 0.5)) return 2;
        lines[2] = {1.0, -shift};
        lines[3] = {2.0, -shift};
        return 4;
    }
};

/// "Bonanza": abs(a - b) < t, else, when shift > 0.5, abs(a - (b + shift)) < t; always in
/// m/z units, the unit is not read.
struct BonanzaTest {
    double tolerance;
    double shift;

    bool operator()(const Peak& p, const Peak& q) const {
        if (std::fabs(p.mz - q.mz) < tolerance) return true;
        return shift > 0.5 && std::fabs(p.mz - (q.mz + shift)) < tolerance;
    }
    bool Relative() const { return false; }
    double Shift() const { return shift > 0.5 ? shift : 0.0; }
    int Lines(MzLine* lines) const {
        lines[0] = {1.0, 0.0};
        if (!(shift > 0.5)) return 1;
        lines[1] = {1.0, -shift};
        return 2;
    }
};

/// The most lines any test has.
inline constexpr int kMaxLines = 4;

/// Sum of intensity * intensity over the whole list, in list order.
inline double SumOfSquares(const PeakList& peaks) {
    double sum = 0.0;
    for (const Peak& peak : peaks) sum += peak.intensity * peak.intensity;
    return sum;
}

/// Sum of intensity * intensity over the taken peaks, in list order.
inline double SumOfTakenSquares(const PeakList& peaks, const std::vector<char>& taken) {
    double sum = 0.0;
    for (std::size_t k = 0; k < peaks.size(); ++k) {
        if (taken[k] != 0) sum += peaks[k].intensity * peaks[k].intensity;
    }
    return sum;
}

/// Cosine of the two intensity vectors over the matched pairs; 0.0 when a norm is zero.
inline double Cosine(double products, double squares1, double squares2) {
    if (squares1 > 0.0 && squares2 > 0.0) return products / std::sqrt(squares1 * squares2);
    return 0.0;
}

/// "Bonanza": the matched products against the matched peaks' own squares.
inline double BonanzaScore(double products, double matched1, double matched2) {
    const double denominator = matched2 + matched1 + products;
    if (denominator > 0.0) return products / denominator;
    return 0.0;
}

}  // namespace speclink::greedy
