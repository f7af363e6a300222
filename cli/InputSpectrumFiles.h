#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "speclink/cli/InputSpectra.h"
#include "speclink/library/data/SpectrumSource.h"

namespace speclink::cli {

/// The spectrum files of the records of a run, for the copies the clustering engine makes:
/// a DTA input's own file as it stands, any other record written as the engine writes a
/// single spectrum. Record names must be unique; the records must outlive this object. The
/// index of names is made at the first copy asked for: most runs make none.
class InputSpectrumFiles : public SpectrumSource {
public:
    explicit InputSpectrumFiles(const InputSpectra& input);

    std::optional<std::string> Content(const std::string& file_name) const override;

private:
    const InputSpectra& input_;
    mutable std::once_flag indexed_;
    mutable std::unordered_map<std::string_view, std::size_t> by_name_;
};

}  // namespace speclink::cli
