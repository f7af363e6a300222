#pragma once

#include <memory>
#include <string>
#include <vector>

#include "speclink/library/params/Settings.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace speclink::cli {

/// The jobs a setting can serve; a subcommand offers the settings of its jobs only.
enum Job : unsigned {
    kClusterJob = 1,      ///< speclink cluster
    kModsearchJob = 2,    ///< speclink modsearch
    kShiftSearchJob = 4,  ///< speclink modsearch --shift-search
    kParameterJob = 8,    ///< speclink params: every setting, also those only stored
};

/// Registers, on a subcommand, one option for each setting, those the given jobs use shown
/// with their defaults in --help and the others hidden (given, they are a usage error that
/// says why); after parsing, applies those given onto base settings.
class SettingOptions {
public:
    /// `jobs`: a mask of Job values; `defaults` are shown as the options' defaults.
    void Register(CLI::App& app, unsigned jobs, const Settings& defaults = {});

    /// Copies the options given onto `settings`. Throws UsageError naming the option when a
    /// value does not parse, or when it was given but `job` does not use it.
    void ApplyOverrides(Settings& settings, Job job) const;

    /// True when at least one setting option was given.
    bool AnyGiven() const;

private:
    struct Given {
        std::size_t setting;  // index into the table of settings
        CLI::Option* option;
        std::string text;
    };
    // Stable addresses: CLI11 writes each option's text into its entry.
    std::vector<std::unique_ptr<Given>> options_;
};

}  // namespace speclink::cli
