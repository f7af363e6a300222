#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "speclink/library/params/Enums.h"
#include "speclink/library/params/Settings.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace speclink::cli {

/// The settings of a parameter file as the library reads it. Throws std::runtime_error
/// naming the file when it cannot be read or names an unknown cluster type.
Settings ReadSettingsFile(const std::string& path);

/// Registers one option per setting on `app`; after parsing, ApplyOverrides copies the
/// options that were given onto a base set of settings.
class SettingOptions {
public:
    /// `with_parameter_file`: offer -p; `with_cluster_type`: offer --cluster-type.
    void Register(CLI::App& app, bool with_parameter_file, bool with_cluster_type);
    /// True when at least one setting option was given.
    bool AnyGiven() const;
    void ApplyOverrides(Settings& settings) const;
    /// The -p parameter file, or "" when none was given.
    const std::string& parameter_file() const { return parameter_file_; }

private:
    Settings values_;
    std::string parameter_file_;
    std::string method_;
    std::string fragment_tol_;
    std::string precursor_tol_;
    std::string consensus_fragment_tol_;
    int32_t cluster_type_ = 0;
    int32_t peak_select_ = 2;
    int32_t consensus_type_ = 0;
    int32_t data_type_ = 0;
    // Each option with what it does to the settings when it was given.
    std::vector<std::pair<CLI::Option*, std::function<void(Settings&)>>> options_;
};

}  // namespace speclink::cli
