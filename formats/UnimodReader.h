#pragma once

#include <string>
#include <vector>

#include "speclink/library/modification/OffsetAnnotation.h"

namespace speclink {

/// The modifications and amino acids of a Unimod XML file (unimod.xml, schema unimod_2):
/// every <mod> with its title, record_id and the mono_mass of its <delta>, marked as a
/// substitution when one of its specificities is classified "AA substitution"; every <aa>
/// of one letter with its mono_mass.
struct Unimod {
    std::vector<KnownModification> modifications;
    std::vector<ResidueMass> residues;
};

/// Reads a Unimod XML file. Throws FormatError for malformed XML or a mod without a title
/// or a numeric mono_mass, std::system_error when the file cannot be opened.
Unimod ReadUnimod(const std::string& path);

/// Where Debian's openms-common package puts Unimod.
inline constexpr const char* kDebianUnimod = "/usr/share/openms/CHEMISTRY/unimod.xml";

}  // namespace speclink
