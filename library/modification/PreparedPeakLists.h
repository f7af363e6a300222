#pragma once

#include <cstddef>
#include <vector>

#include "data/Spectrum.h"
#include "peaks/PeakList.h"

namespace speclink {

class CPeakSelect;

/// The peaks of every spectrum of a list, prepared for scoring: peak selection, then
/// SqrtNormalize. Each spectrum is prepared once, the first time it is asked for; since the
/// preparation depends on the spectrum alone, a copy of the kept list is the same list that
/// preparing the spectrum afresh would give. The spectra and the selector must outlive it.
class PreparedPeakLists {
public:
    PreparedPeakLists(const std::vector<CSpectrum>& spectra, const CPeakSelect& peak_select);

    /// Replaces `working` with a copy of the prepared peaks of spectrum `index` (reusing its
    /// storage); the scorer may then reorder the copy freely.
    void CopyInto(std::size_t index, PeakList& working);

private:
    const std::vector<CSpectrum>& spectra_;
    const CPeakSelect& peak_select_;
    std::vector<PeakList> prepared_;
    std::vector<char> ready_;
};

}  // namespace speclink
