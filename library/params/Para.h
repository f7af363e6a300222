#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "speclink/library/params/Cluster.h"
#include "speclink/library/params/Enums.h"
#include "speclink/library/peaks/PeakList.h"

namespace speclink {

class CSimilarity;
class CPeakSelect;
class CSpectraProcess;
class CRepresentativeSpectra;

/// The parameter set: owns one object of each kind a run needs. The five pointers are
/// null until a setter or ReadParaFile creates the object. An object replaced by a later
/// setter or ReadParaFile stays valid (an engine may still point at it) until the
/// parameter set is destroyed.
class CPara {
public:
    CPara();
    CPara(const CPara&) = delete;
    CPara& operator=(const CPara&) = delete;
    ~CPara();

    /// Builds all five objects from a parameter file. False, with nothing changed, when the
    /// file cannot be opened or its cluster type is neither 0 nor 1. A file without a
    /// "cluster_type=" line is read as cluster type 0.
    bool ReadParaFile(std::string path);

    /// Writes the 31-line parameter file. False, with nothing written, when the file cannot
    /// be opened, when one of the five objects is missing, or when a stored unit is not a
    /// Tolerance_Type (0 or 1).
    bool WriteParaFile(std::string path) const;

    void SetCluster(CSpectraProcess* process, CRepresentativeSpectra* representatives, Cluster_Type type,
                    double precursor_tol, Tolerance_Type precursor_tol_type, double threshold);
    void SetDataClass(MS2FormatType type, std::string data_directory, std::string out_directory,
                      std::string cluster_result, int32_t small_peaks_count_filter);
    void SetPeakSelect(Peak_Select_Method method, int32_t whole_top_peak_num, int32_t part_top_peak_num,
                       int32_t part_top_peak_per_num);
    void SetRepresentativeClass(Representative_Spectra type, double consensus_fragment_tol,
                                Tolerance_Type consensus_fragment_tol_type);
    void SetSimilarMethod(Similar_Method method, double fragment_ion_tol, Tolerance_Type fragment_ion_tol_type);

    /// Forwards to `peak_select`; without one the list is left as it is.
    void SelectPeak(PeakList& peaks) const;

    /// Forwards to `similarity`; without one the score is 0.0 and the lists are untouched.
    double ComputeSimilarScore(PeakList& first, PeakList& second, double shift) const;

    CCluster* engine = nullptr;
    CSimilarity* similarity = nullptr;
    CPeakSelect* peak_select = nullptr;
    CSpectraProcess* spectra_process = nullptr;
    CRepresentativeSpectra* representative_spectra = nullptr;
    std::array<std::string, 6> section_names;

private:
    // Stores `fresh` in `slot`; the object it replaces is kept alive in `retired`.
    template <typename T>
    static void Replace(T*& slot, T* fresh, std::vector<std::unique_ptr<T>>& retired) {
        if (slot != nullptr) retired.emplace_back(slot);
        slot = fresh;
    }

    // Objects that a setter or ReadParaFile replaced: kept alive for engines that still
    // point at them, released with the parameter set.
    std::vector<std::unique_ptr<CCluster>> retired_engines_;
    std::vector<std::unique_ptr<CSimilarity>> retired_similarities_;
    std::vector<std::unique_ptr<CPeakSelect>> retired_peak_selects_;
    std::vector<std::unique_ptr<CSpectraProcess>> retired_spectra_processes_;
    std::vector<std::unique_ptr<CRepresentativeSpectra>> retired_representatives_;
};

}  // namespace speclink
