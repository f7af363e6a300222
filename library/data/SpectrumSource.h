#pragma once

#include <optional>
#include <string>

namespace speclink {

/// Where the spectrum files of a data set come from when they are not files of its data
/// directory: a host that read its spectra from other files gives the engines one of these,
/// and the copies the engines make into the output directory take their content from it.
class SpectrumSource {
public:
    virtual ~SpectrumSource() = default;

    /// The content of the spectrum file named `file_name` (a record's `file_name`), or
    /// nothing when the data set has no such file. Called from several threads at once.
    virtual std::optional<std::string> Content(const std::string& file_name) const = 0;
};

}  // namespace speclink
