#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "speclink/library/params/Cluster.h"
#include "speclink/library/peaks/PeakList.h"

namespace speclink {

/// A pair a modification search listed: positions in the spectrum list (first < second),
/// the precursor mass difference first minus second (Da) and the score; for the shift
/// search also the whole-number shift, 0 otherwise.
struct ListedPair {
    uint32_t first;
    uint32_t second;
    double mass_difference;
    double score;
    int32_t whole_shift;
};

/// Cluster_Type 1: scores pairs of spectra whose precursor masses differ by a plausible
/// modification mass, lists the pairs above `threshold` and counts their mass differences.
///
/// Every pair (i, j) with i < j is examined; d = precursor_mass(i) - precursor_mass(j) is
/// the shift handed to the scorer. Working copies of the peaks are prepared with the
/// selector, then SqrtNormalize; the spectra themselves are never changed. The scorer, the
/// selector and `spectra_process` must not be null.
///
/// Both searches find the pairs within their mass window through a precursor-mass index
/// and score them on up to `threads` threads, each with its own copy of the scorer; the
/// files, the standard output and the scorer's fields afterwards are byte for byte those
/// of a run that examines every pair in turn. With `threads` of 1 everything runs on the
/// caller's thread.
class CModificationCluster : public CCluster {
public:
    CModificationCluster(CSpectraProcess* process, double precursor_tol, Tolerance_Type precursor_tol_type,
                         double threshold_value, int32_t type);
    ~CModificationCluster() override;

    /// Scores the pairs with lower_mass <= |d| <= upper_mass (Da) whose charges are equal,
    /// or 3 then 2 when the scorer's method is "Dot Product X" or "Comprehensive". Under
    /// "Dot Product X" pairs of equal charge score 0.0 without being compared.
    /// "Comprehensive" is resolved per pair: a 3 -> 2 pair by "Dot Product X" with shift d,
    /// any other by "Dot Product Mod" with d / k for k = 1 .. charge - 1, the best kept; the
    /// scorer keeps the last method set, with 0.5 Da.
    ///
    /// Writes every pair scoring above `threshold` to the pair list at GetClusterResult()
    /// ("%s,%lf,%s,%lf,%lf,%lf\n"), appends the square root of every score above 0.0001 to
    /// "score.txt" ("%.4lf\n"), then groups the listed mass differences into "temp.temp"
    /// within `cluster_masses_tol`. Progress goes to standard output as "%d0%%.." per tenth
    /// of the list; with fewer than 10 spectra none is printed.
    ///
    /// When the pair list cannot be opened, "Cannot open file: <path>!" is printed and
    /// nothing else is done ("score.txt", already opened, is closed again unchanged). When
    /// "score.txt" cannot be opened, the run goes on without it.
    void Run(const std::vector<CSpectrum>& spectra, CSimilarity* similarity,
             CPeakSelect* peak_select) override;

    /// Run in pieces, for a host that holds only part of a long list in memory at a time:
    /// BeginPieces with the length of the whole list, SearchPiece for consecutive runs of its
    /// rows, then EndPieces write the files, the standard output and the fields that Run
    /// writes for the whole list. BeginPieces gives false, having printed what Run prints,
    /// when the pair list cannot be opened; nothing else is to be called then. A process that
    /// searches only the rows from `first_row` on, beside others that search the rows before,
    /// prints only the progress figures of its own rows.
    bool BeginPieces(std::size_t count, CSimilarity* similarity, std::size_t first_row = 0);

    /// The pairs of the rows [0, rows) of `window`, which holds after them, in list order,
    /// every later spectrum of the list that can pair with one of them (others may be left
    /// out); `positions` gives the place in the whole list of each entry of `window` (empty:
    /// the entries are the whole list).
    void SearchPiece(const std::vector<CSpectrum>& window, std::size_t rows, std::span<const uint32_t> positions,
                     CSimilarity* similarity, CPeakSelect* peak_select);

    void EndPieces(CSimilarity* similarity);

    /// Doubly charged pairs with 6.0 <= |d| <= 200.0 Da only (lower_mass and upper_mass do
    /// not apply): each pair is scored by "Dot Product Mod" at 0.5 Da (the scorer is left
    /// so) with d corrected by the best whole-number shift k of FindBestShift, and written
    /// when above `threshold` as "%s,%lf,%s,%lf,%lf,%lf, %d\n" with k last. Writes neither
    /// "score.txt" nor "temp.temp" and prints no progress.
    virtual void RunShiftSearch(const std::vector<CSpectrum>& spectra, CSimilarity* similarity,
                                CPeakSelect* peak_select);

    /// The whole number k from N - 5 to N + 5 (N = |d| rounded half up) at which the lighter
    /// spectrum's prepared peaks, moved up by k, agree best by "Dot Product" at 0.5 Da with
    /// the heavier one's; the smallest such k on ties, 0 when nothing scores above 0.0.
    /// Scores copies: `a_peaks` and `b_peaks` are left as they are.
    int32_t FindBestShift(const CSpectrum& a, const CSpectrum& b, const PeakList& a_peaks,
                          const PeakList& b_peaks, double d) const;

    /// The pairs the last Run or RunShiftSearch wrote to its pair list, in the same order.
    const std::vector<ListedPair>& last_pairs() const { return last_pairs_; }

    /// Whether Run appends to "score.txt" as described; a host that shows the distribution of
    /// the scores rather than every one (score_counts()) switches it off.
    bool list_scores = true;

    /// How many of the last Run's scores above 0.0001 had each "%.4lf" value of their square
    /// root, indexed by that value times 10000 (0 to 10000 for scores up to 1): the content of the lines Run
    /// appends to "score.txt", without their order. Counted whether or not they are listed.
    const std::vector<uint64_t>& score_counts() const { return score_counts_; }

private:
    struct Pieces;

    std::vector<ListedPair> last_pairs_;
    std::vector<uint64_t> score_counts_;
    std::unique_ptr<Pieces> pieces_;
};

}  // namespace speclink
