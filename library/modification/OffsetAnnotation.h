#pragma once

#include <string>
#include <vector>

#include "speclink/library/modification/MassOffsetProfile.h"

namespace speclink {

/// A modification of a table such as Unimod: a name and the mass it adds.
struct KnownModification {
    std::string name;             ///< e.g. "Oxidation", "Ala->Gly"
    double mass = 0.0;            ///< monoisotopic mass difference, Da
    int record = 0;               ///< the table's record number; lower numbers come first
    bool substitution = false;    ///< an amino-acid substitution
};

/// A residue and its monoisotopic mass.
struct ResidueMass {
    char residue = 0;
    double mass = 0.0;  ///< Da
};

/// What a mass offset may be.
struct OffsetAnnotation {
    std::vector<std::string> modifications;  ///< single modifications within the tolerance, nearest first
    std::vector<std::string> combinations;   ///< sums of two, "A + B", nearest first
    std::vector<std::string> substitutions;  ///< amino-acid substitutions within the tolerance
    std::vector<char> residues;              ///< amino acids of that mass (a missed or extra residue)
};

/// The modifications, sums of two modifications, substitutions and amino acids whose masses
/// lie within `tolerance` (Da) of `offset`. Single modifications and substitutions are
/// ordered by distance, then record; sums of two by distance, then the records of their
/// parts; at most `most` of each.
OffsetAnnotation AnnotateOffset(double offset, const std::vector<KnownModification>& modifications,
                                const std::vector<ResidueMass>& residues, double tolerance, std::size_t most = 5);

}  // namespace speclink
