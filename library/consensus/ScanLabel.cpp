// The scan label of a spectrum file name, used to name consensus spectra.

#include "speclink/library/consensus/RepresentativeSpectra.h"

namespace speclink {

// Names look like base.first_scan.last_scan.charge.extension; the label is
// "first_scan.charge". Names with fewer than four dots have no label.
std::string CRepresentativeSpectra::ExtractScanLabel(std::string file_name) {
    const auto extension = file_name.rfind('.');
    if (extension == std::string::npos) return {};
    std::string rest = file_name.substr(0, extension);

    const auto charge = rest.rfind('.');
    if (charge == std::string::npos) return {};
    const std::string charge_part = rest.substr(charge);
    rest.erase(charge);

    const auto last_scan = rest.rfind('.');
    if (last_scan == std::string::npos) return {};
    rest.erase(last_scan);

    const auto first_scan = rest.rfind('.');
    if (first_scan == std::string::npos) return {};
    return rest.substr(first_scan + 1) + charge_part;
}

}  // namespace speclink
