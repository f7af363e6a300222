#include "speclink/library/params/Para.h"

#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/data/SpectraProcess.h"
#include "speclink/library/params/ClusterFactory.h"
#include "speclink/library/params/ParameterFileReading.h"
#include "speclink/library/peaks/PeakSelect.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink {

CPara::CPara()
    : section_names{std::string(kSectionNames[0]), std::string(kSectionNames[1]), std::string(kSectionNames[2]),
                    std::string(kSectionNames[3]), std::string(kSectionNames[4]), std::string(kSectionNames[5])} {}

CPara::~CPara() {
    delete engine;
    delete similarity;
    delete peak_select;
    delete spectra_process;
    delete representative_spectra;
    // Retired engines go before the retired objects they may point at.
    retired_engines_.clear();
}

void CPara::SetCluster(CSpectraProcess* process, CRepresentativeSpectra* representatives, Cluster_Type type,
                       double precursor_tol, Tolerance_Type precursor_tol_type, double threshold) {
    const CClusterFactory factory;
    Replace(engine, factory.CreateCluster(process, representatives, type, precursor_tol, precursor_tol_type, threshold),
            retired_engines_);
}

void CPara::SetDataClass(MS2FormatType type, std::string data_directory, std::string out_directory,
                         std::string cluster_result, int32_t small_peaks_count_filter) {
    Replace(spectra_process,
            new CSpectraProcess(type, std::move(data_directory), std::move(out_directory), std::move(cluster_result),
                                small_peaks_count_filter),
            retired_spectra_processes_);
}

void CPara::SetPeakSelect(Peak_Select_Method method, int32_t whole_top_peak_num, int32_t part_top_peak_num,
                          int32_t part_top_peak_per_num) {
    Replace(peak_select, new CPeakSelect(method, whole_top_peak_num, part_top_peak_num, part_top_peak_per_num),
            retired_peak_selects_);
}

void CPara::SetRepresentativeClass(Representative_Spectra type, double consensus_fragment_tol,
                                   Tolerance_Type consensus_fragment_tol_type) {
    Replace(representative_spectra,
            new CRepresentativeSpectra(type, consensus_fragment_tol, consensus_fragment_tol_type),
            retired_representatives_);
}

void CPara::SetSimilarMethod(Similar_Method method, double fragment_ion_tol, Tolerance_Type fragment_ion_tol_type) {
    Replace(similarity, new CSimilarity(method, fragment_ion_tol, fragment_ion_tol_type), retired_similarities_);
}

void CPara::SelectPeak(PeakList& peaks) const {
    if (peak_select != nullptr) peak_select->SelectPeak(peaks);
}

double CPara::ComputeSimilarScore(PeakList& first, PeakList& second, double shift) const {
    return similarity != nullptr ? similarity->ComputeScore(first, second, shift) : 0.0;
}

}  // namespace speclink
