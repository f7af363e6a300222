#include "speclink/cli/SpectrumStaging.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>

#include "speclink/cli/CommandErrors.h"
#include "speclink/formats/DtaWriter.h"

namespace speclink::cli {

namespace fs = std::filesystem;

SpectrumStaging::SpectrumStaging(const InputSpectra& input) {
    std::string pattern = (fs::temp_directory_path() / "speclink-spectra-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary directory in " + fs::temp_directory_path().string());
    directory_ = pattern;
    try {
        for (size_t k = 0; k < input.spectra.size(); ++k) {
            const fs::path target = directory_ / input.spectra[k].file_name;
            if (!input.sources[k].empty()) {
                std::error_code ec;
                fs::copy_file(input.sources[k], target, fs::copy_options::overwrite_existing, ec);
                if (ec && !fs::exists(input.sources[k])) {
                    throw InputError(input.sources[k].string() +
                                     ": the input file vanished during the run (read, then removed before it "
                                     "could be copied)");
                }
                if (ec) throw std::runtime_error(input.sources[k].string() + ": cannot stage a copy: " + ec.message());
            } else {
                WriteDta(input.spectra[k], target.string());
            }
        }
    } catch (...) {
        std::error_code ec;
        fs::remove_all(directory_, ec);
        throw;
    }
}

SpectrumStaging::~SpectrumStaging() {
    std::error_code ec;
    fs::remove_all(directory_, ec);
}

}  // namespace speclink::cli
