#pragma once

#include <cstdint>

// The shared enumerations. Their numbers are fixed because they are written to and
// read from the parameter file; every field that holds one may hold any 32-bit value.
namespace speclink {

enum Cluster_Type : int32_t {
    CLUSTER_HIERARCHICAL = 0,   ///< precursor grouping + single linkage
    CLUSTER_MODIFICATION = 1,   ///< pairs related by a modification mass
};

enum Tolerance_Type : int32_t {
    TOLERANCE_DA = 0,    ///< absolute difference in Da (or m/z units)
    TOLERANCE_PPM = 1,   ///< difference / reference mass * 1e6
};

/// Format of the data files a data set came from; stored and carried, never branched on.
enum MS2FormatType : int32_t {
    FORMAT_DTA = 0,
    FORMAT_MGF = 1,
    FORMAT_MS2 = 2,
    FORMAT_MZXML = 3,
    FORMAT_MZML = 4,
};

enum Peak_Select_Method : int32_t {
    PEAK_SELECT_WHOLE_TOP = 0,            ///< N most intense peaks of the spectrum
    PEAK_SELECT_PART_TOP = 1,             ///< K most intense peaks per m/z window
    PEAK_SELECT_PART_THEN_WHOLE_TOP = 2,  ///< per window, then N of the result
};

enum Similar_Method : int32_t {
    SIMILAR_INTENSITY_SCORE = 0,
    SIMILAR_DOT_PRODUCT = 1,
    SIMILAR_DOT_PRODUCT_MOD = 2,
    SIMILAR_DOT_PRODUCT_HALF = 3,
    SIMILAR_DOT_PRODUCT_X = 4,
    SIMILAR_PEAK_COUNT = 5,
    SIMILAR_BONANZA = 6,
    SIMILAR_COMPREHENSIVE = 7,   ///< resolved per pair by the modification search
};

enum Representative_Spectra : int32_t {
    CONSENSUS_SPECTRA = 0,                 ///< consensus spectra and single spectra
    CONSENSUS_REPRESENTATIVES = 1,         ///< copies of the representatives only
    CONSENSUS_SPECTRA_AND_REPRESENTATIVES = 2,
};

/// Unit names indexed by Tolerance_Type.
extern const char* const ToleranceNames[2];

/// Display names indexed by Similar_Method.
extern const char* const SimilarMethodNames[8];

}  // namespace speclink
