#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "speclink/library/data/Spectrum.h"
#include "speclink/library/data/SpectrumSource.h"
#include "speclink/library/params/Enums.h"

namespace speclink {

/// The settings of one data set: where the spectrum files lie, where results go, the
/// result file path, the data format and the small-peaks filter, with a spectrum list.
class CSpectraProcess {
public:
    CSpectraProcess(MS2FormatType type, std::string data_dir, std::string out_dir,
                    std::string result, int32_t small_peaks_filter)
        : data_directory(std::move(data_dir)),
          out_directory(std::move(out_dir)),
          cluster_result(std::move(result)),
          data_type(type),
          small_peaks_count_filter(small_peaks_filter) {}

    std::string GetDataDirectory() const { return data_directory; }
    std::string GetOutDirectory() const { return out_directory; }
    std::string GetClusterResult() const { return cluster_result; }

    void SetDataDirectory(std::string dir) { data_directory = std::move(dir); }
    void SetOutDirectory(std::string dir) { out_directory = std::move(dir); }
    void SetClusterResult(std::string path) { cluster_result = std::move(path); }

    std::vector<CSpectrum> spectra;
    std::string data_directory;   ///< directory of the input spectrum files
    std::string out_directory;    ///< directory that receives copied and written spectra
    std::string cluster_result;   ///< result file path, used as it stands
    MS2FormatType data_type;
    int32_t small_peaks_count_filter;
    /// Not owned. When set, copies of spectrum files take their content from it instead of
    /// from files of `data_directory`.
    const SpectrumSource* spectrum_source = nullptr;
};

/// Copies the spectrum file `file_name` into the output directory of `process`, replacing a
/// file of that name: from its spectrum source when it has one, else from its data
/// directory. A failure (no such file, an unwritable target) is silent.
void CopySpectrumFileInto(const CSpectraProcess& process, const std::string& file_name);

/// CopySpectrumFileInto, after creating the output directory (one level) when nothing
/// exists at its path.
void CopySpectrumFile(const CSpectraProcess& process, const std::string& file_name);

}  // namespace speclink
