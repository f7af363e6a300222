#pragma once

#include <cstdint>

#include "speclink/library/params/Enums.h"

// Every default setting, declared once. The parameter-file reader starts from these before
// the keys of a file apply, the engines and the consensus builder are built with them, and
// every host (the command, the Python module) offers them as its defaults.
namespace speclink::defaults {

/// Clustering; a modification search is 1.
inline constexpr Cluster_Type kClusterType = CLUSTER_HIERARCHICAL;
/// Format number of the data files; only stored.
inline constexpr MS2FormatType kDataType = FORMAT_DTA;
/// Small-peaks filter count; only stored.
inline constexpr int32_t kSmallPeaksCountFilter = 10;

/// Peak selection: the top peaks of each m/z window, then the top peaks of the spectrum.
inline constexpr Peak_Select_Method kPeakSelectMethod = PEAK_SELECT_PART_THEN_WHOLE_TOP;
/// Peaks kept from the whole spectrum.
inline constexpr int32_t kWholeTopPeakNum = 50;
/// Peaks kept per m/z window.
inline constexpr int32_t kPartTopPeakNum = 5;
/// Width of an m/z window (Th).
inline constexpr int32_t kPartTopPeakPerNum = 100;

/// Similarity method: "Dot Product".
inline constexpr Similar_Method kSimilarMethod = SIMILAR_DOT_PRODUCT;
/// Fragment tolerance of the similarity: 0.5 Da.
inline constexpr double kFragmentIonTol = 0.5;
inline constexpr Tolerance_Type kFragmentIonTolType = TOLERANCE_DA;

/// Precursor tolerance of a precursor group: 20 ppm.
inline constexpr double kPrecursorIonTol = 20.0;
inline constexpr Tolerance_Type kPrecursorIonTolType = TOLERANCE_PPM;
/// Similarity above which spectra are linked, or pairs listed.
inline constexpr double kThreshold = 0.6;

/// Consensus spectra and single spectra.
inline constexpr Representative_Spectra kConsensusType = CONSENSUS_SPECTRA;
/// Consensus fragment tolerance: 0.4 Da; only stored (the merge uses its own window).
inline constexpr double kConsensusFragmentTol = 0.4;
inline constexpr Tolerance_Type kConsensusFragmentTolType = TOLERANCE_DA;

/// Smallest and largest precursor mass difference of a scored pair (Da).
inline constexpr int32_t kLowerMass = 6;
inline constexpr int32_t kUpperMass = 200;
/// Mass differences closer than this are grouped together (Da).
inline constexpr double kClusterMassesTol = 0.01;

}  // namespace speclink::defaults
