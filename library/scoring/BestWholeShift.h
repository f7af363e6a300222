#pragma once

#include <cstdint>

#include "speclink/library/scoring/IndexedGreedyScore.h"
#include "speclink/library/scoring/IndexedPeakList.h"
#include "speclink/library/scoring/MzCellTable.h"

namespace speclink {

/// The whole number k from N - 5 to N + 5 (N = |d| rounded half up) at which the lighter
/// spectrum's peaks, moved up by k, agree best by "Dot Product" at 0.5 Da with the heavier
/// one's; the smallest such k on ties, 0 when nothing scores above 0.0. `a` and `b` are the
/// two lists as "Dot Product" scores them (sorted by descending intensity); `mass_a` and
/// `mass_b` their precursor masses; `a_table`, when given, the cell table of `a`. `moved`
/// is working storage.
///
/// Moving a list changes no intensity, so the scorer's sort would order every moved copy
/// as it orders the list itself: each k is scored on the list moved in that order.
int32_t BestWholeShift(double mass_a, double mass_b, const IndexedPeakList& a, const IndexedPeakList& b, double d,
                       GreedyScratch& scratch, IndexedPeakList& moved, const MzCellTable* a_table = nullptr);

}  // namespace speclink
