#include "modification/PreparedPeakLists.h"

#include "peaks/PeakSelect.h"
#include "peaks/SqrtNormalize.h"

namespace speclink {

PreparedPeakLists::PreparedPeakLists(const std::vector<CSpectrum>& spectra, const CPeakSelect& peak_select)
    : spectra_(spectra), peak_select_(peak_select), prepared_(spectra.size()), ready_(spectra.size(), 0) {}

void PreparedPeakLists::CopyInto(std::size_t index, PeakList& working) {
    PeakList& prepared = prepared_[index];
    if (ready_[index] == 0) {
        prepared = spectra_[index].peaks;
        peak_select_.SelectPeak(prepared);
        SqrtNormalize(prepared);
        ready_[index] = 1;
    }
    working.assign(prepared.begin(), prepared.end());
}

}  // namespace speclink
