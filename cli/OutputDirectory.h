#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace speclink::cli {

/// The output directory of a run. A run writes into a staging directory inside it, under a
/// temporary name, and only a finished run moves its files into place; so a reader of the
/// directory never sees a result that looks whole but is not, and a run killed outright
/// leaves nothing but the staging directory. The files a run moved in are listed in
/// "speclink.outputs", which is how a later run knows them as speclink's own.
class OutputDirectory {
public:
    /// Name of the list of a finished run's files.
    static constexpr const char* kManifest = "speclink.outputs";
    /// Prefix of a staging directory's name.
    static constexpr const char* kStagingPrefix = ".speclink-partial-";

    /// Creates `path` when missing, refuses it (UsageError) when it holds the outputs of an
    /// earlier run, finished or interrupted, unless `overwrite`: then those outputs (and
    /// nothing else) are removed first. `planned` are names the run will write; a file of
    /// such a name that speclink did not write is refused too. Throws OutputError when the
    /// directory cannot be made or changed.
    OutputDirectory(const std::filesystem::path& path, bool overwrite, const std::vector<std::string>& planned);
    OutputDirectory(const OutputDirectory&) = delete;
    OutputDirectory& operator=(const OutputDirectory&) = delete;
    /// Removes the staging directory of a run that did not commit.
    ~OutputDirectory();

    /// The output directory, absolute and without links.
    const std::filesystem::path& path() const { return path_; }
    /// Where the run writes its files until it commits.
    const std::filesystem::path& staging() const { return staging_; }

    /// Moves every file of the staging directory into the output directory, then writes
    /// the list of them; returns how many there were. A name taken by a file speclink did
    /// not write is refused (OutputError) before anything is moved.
    std::size_t Commit();

private:
    std::filesystem::path path_;
    std::filesystem::path staging_;
    bool committed_ = false;
};

}  // namespace speclink::cli
