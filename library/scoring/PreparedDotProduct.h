#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "peaks/PeakList.h"

// "Dot Product" for callers that score one peak list against many others with a tolerance
// in Da, as the clustering of a precursor group does. The greedy matching looks only at
// the inner peaks near each outer peak, through an m/z index built once per list, and
// gives bit for bit the score of CSimilarity::DotProduct on the same two lists.
namespace speclink {

/// A peak list in descending intensity, exactly as ComputeScore leaves it for the greedy
/// scores, with what repeated scoring against it needs: the sum of squared intensities
/// (summed in list order) and an index of its peaks by m/z.
class DotProductPeaks {
public:
    DotProductPeaks() = default;
    /// `by_intensity` must already be sorted by descending intensity.
    explicit DotProductPeaks(PeakList by_intensity);

    const PeakList& peaks() const { return peaks_; }
    double sum_of_squares() const { return sum_of_squares_; }

    /// Range [begin, end) of index entries that holds every peak whose m/z lies in
    /// [low, high], and possibly others (the caller tests each entry itself).
    struct Range {
        std::size_t begin;
        std::size_t end;
    };
    Range Candidates(double low, double high) const;
    double IndexMz(std::size_t entry) const { return index_mz_[entry]; }
    uint32_t IndexPosition(std::size_t entry) const { return index_position_[entry]; }

private:
    std::size_t BinOf(double mz) const;

    PeakList peaks_;
    double sum_of_squares_ = 0.0;
    // Peaks of finite m/z in ascending m/z, with their positions in `peaks_`, and the
    // start of every bin of equal width between the lowest and the highest m/z. Peaks of
    // other m/z never match anything.
    std::vector<double> index_mz_;
    std::vector<uint32_t> index_position_;
    std::vector<uint32_t> bin_start_;
    double origin_ = 0.0;
    double bins_per_mz_ = 0.0;
};

/// CSimilarity::DotProduct(first.peaks(), second.peaks(), shift) with `tolerance` in Da:
/// each peak of the second list, most intense first, takes the first free peak of the
/// first list (in list order) whose m/z differs by less than `tolerance`; the score is
/// the sum of the matched products over sqrt(sum of squares 1 * sum of squares 2).
/// `taken` is scratch space, resized as needed.
double PreparedDotProduct(const DotProductPeaks& first, const DotProductPeaks& second, double tolerance,
                          std::vector<char>& taken);

}  // namespace speclink
