// The two scores that walk both peak lists in ascending m/z with one index per list.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "speclink/library/scoring/Similarity.h"

namespace speclink {
namespace {

/// Intensity recorded per peak position of one list, 0.0 where nothing was recorded.
/// Recording a position again stores the same value, so each peak counts once.
class PositionRecord {
public:
    explicit PositionRecord(const PeakList& peaks) : intensity_(peaks.size(), 0.0) {}

    void Record(const PeakList& peaks, std::size_t position) { intensity_[position] = peaks[position].intensity; }
    double At(std::size_t position) const { return intensity_[position]; }

    double Sum() const {
        double sum = 0.0;
        for (const double value : intensity_) sum += value;
        return sum;
    }

private:
    std::vector<double> intensity_;
};

/// PeakCount's neighbour search from a match at (i, j): advances j at least once and goes on
/// while the signed difference keeps falling. The first value compared is
/// `first_difference`, later ones are b[j] - a[i] - `offset`. Returns the new j, so the
/// matched second-list peak is at j - 1; the search stops at the end of the second list.
std::size_t NeighbourSearch(const PeakList& first, const PeakList& second, std::size_t i, std::size_t j,
                            double first_difference, double offset) {
    double e = first_difference;
    double best = 10000.0;
    // j moves at least once, also when the first difference is 10000 or more (a tolerance or
    // shift that large) or not a number, so that the matched peak j - 1 always exists. For
    // every other difference the first test passes and this is the plain while loop.
    do {
        best = e;
        ++j;
        if (j == second.size()) break;
        e = second[j].mz - first[i].mz - offset;
    } while (e < best);
    return j;
}

}  // namespace

double CSimilarity::IntensityScore(const PeakList& first, const PeakList& second, double shift) const {
    const double t = fragment_ion_tol;
    const std::size_t n1 = first.size();
    const std::size_t n2 = second.size();
    PositionRecord recorded1(first);
    PositionRecord recorded2(second);

    std::size_t i = 0;
    std::size_t j = 0;
    while (i < n1 && j < n2) {
        const double a = first[i].mz;
        const double b = second[j].mz;
        const double d = fragment_ion_tol_type == TOLERANCE_DA ? a - b : (a - b) / b * 1000000.0;
        if (d < -t) {
            ++i;
        } else if (d > t) {
            ++j;
        } else {
            // A match, bounds included. Step the index whose next peak lies closer.
            recorded1.Record(first, i);
            recorded2.Record(second, j);
            if (i == n1 - 1 || j == n2 - 1) {
                ++i;
            } else if (a - second[j + 1].mz < first[i + 1].mz - b) {
                ++j;
            } else {
                ++i;
            }
        }
    }

    // The shifted walk compares in m/z units whatever the unit, and takes the shift signed.
    if (std::fabs(shift) > 0.5) {
        i = 0;
        j = 0;
        while (i < n1 && j < n2) {
            const double c = second[j].mz + shift;
            if (c <= 0.0) {
                ++j;
                continue;
            }
            const double d = first[i].mz - c;
            if (d < -t) {
                ++i;
            } else if (d > t) {
                ++j;
            } else {
                recorded1.Record(first, i);
                recorded2.Record(second, j);
                ++i;
            }
        }
    }

    double total = 0.0;
    for (const Peak& peak : first) total += peak.intensity;
    for (const Peak& peak : second) total += peak.intensity;
    if (total > 0.0) return (recorded2.Sum() + recorded1.Sum()) / total;
    return 0.0;
}

double CSimilarity::PeakCount(const PeakList& first, const PeakList& second, double shift) const {
    // Always in m/z units: the unit is not read.
    const double t = fragment_ion_tol;
    const std::size_t n1 = first.size();
    const std::size_t n2 = second.size();
    PositionRecord recorded1(first);
    PositionRecord recorded2(second);
    int32_t matches = 0;

    std::size_t i = 0;
    std::size_t j = 0;
    while (i < n1 && j < n2) {
        const double d = first[i].mz - second[j].mz;
        if (d < -t) {
            ++i;
        } else if (d > t) {
            ++j;
        } else {
            j = NeighbourSearch(first, second, i, j, d, 0.0);
            ++matches;
            recorded1.Record(first, i);
            recorded2.Record(second, j - 1);
            ++i;
        }
    }

    if (shift > 0.5) {
        const double offset = std::fabs(shift);
        i = 0;
        j = 0;
        while (i < n1 && j < n2) {
            const double r = first[i].mz - second[j].mz;
            const double d = r - offset;
            if (d < -t) {
                ++i;
            } else if (d > t) {
                ++j;
            } else {
                // The search starts from the unshifted difference r.
                j = NeighbourSearch(first, second, i, j, r, offset);
                // A peak recorded with intensity 0.0 reads as unrecorded and may count again.
                if (recorded1.At(i) == 0.0 && recorded2.At(j - 1) == 0.0) {
                    ++matches;
                    recorded1.Record(first, i);
                    recorded2.Record(second, j - 1);
                }
                ++i;
            }
        }
    }

    // Two empty lists have no size to divide by; they score 0.0.
    const std::size_t larger = std::max(n1, n2);
    if (larger == 0) return 0.0;
    return static_cast<double>(matches) / static_cast<double>(larger);
}

}  // namespace speclink
