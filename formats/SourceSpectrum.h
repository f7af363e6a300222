#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "speclink/library/peaks/PeakList.h"

namespace speclink {

/// One spectrum as a reader found it in a file, before it becomes records.
struct SourceSpectrum {
    int ms_level = 2;
    int32_t scan = 0;  ///< scan number the file gives, or the 1-based position
    std::string title;
    /// The spectrum's id as its file writes it: mzML id, mzXML num, MGF TITLE, MS2 S scan,
    /// DTA file name.
    std::string native_id;
    std::optional<double> precursor_mz;  ///< precursor m/z (Th), when the file gives one
    double precursor_intensity = 0.0;
    double retention_time = 0.0;  ///< seconds
    double total_ion_current = 0.0;
    std::string peptide;
    /// Charges the file states, in file order (0 and negative values included as found).
    std::vector<int> charges;
    /// [M+H]+ (Da) the file states for each of `charges` (DTA header, MS2 Z lines); empty when
    /// the masses follow from `precursor_mz`.
    std::vector<double> stated_masses;
    /// The record's own file name (DTA files); empty: named base.scan.scan.charge.dta.
    std::string file_name;
    PeakList peaks;
};

}  // namespace speclink
