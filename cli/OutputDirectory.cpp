#include "speclink/cli/OutputDirectory.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <system_error>

#include "speclink/cli/CommandErrors.h"

namespace speclink::cli {

namespace fs = std::filesystem;

namespace {

// The files an earlier run listed as its own.
std::vector<std::string> ListedOutputs(const fs::path& manifest) {
    std::vector<std::string> names;
    std::ifstream in(manifest);
    std::string name;
    while (std::getline(in, name)) {
        // Only plain names inside the directory: a damaged list never reaches elsewhere.
        if (!name.empty() && name.find('/') == std::string::npos && name != "." && name != "..") names.push_back(name);
    }
    return names;
}

std::vector<fs::path> StagingDirectories(const fs::path& directory) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory, ec)) {
        if (entry.path().filename().string().starts_with(OutputDirectory::kStagingPrefix)) found.push_back(entry.path());
    }
    return found;
}

void Remove(const fs::path& path) {
    std::error_code ec;
    fs::remove_all(path, ec);
    if (ec) throw OutputError("cannot remove " + path.string() + ": " + ec.message());
}

}  // namespace

OutputDirectory::OutputDirectory(const fs::path& path, bool overwrite, const std::vector<std::string>& planned) {
    if (path.empty()) throw UsageError("give an output directory with -o");
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec || !fs::is_directory(path)) {
        throw OutputError("cannot create the output directory " + path.string() + ": " +
                          (ec ? ec.message() : std::string("a file of that name exists")));
    }
    path_ = fs::canonical(path);

    const fs::path manifest = path_ / kManifest;
    const std::vector<fs::path> interrupted = StagingDirectories(path_);
    const bool earlier = fs::exists(manifest) || !interrupted.empty();
    if (earlier && !overwrite) {
        throw UsageError(path_.string() + " holds the outputs of an earlier run (" +
                         (fs::exists(manifest) ? std::string(kManifest) + " lists them"
                                               : "an interrupted run left " + interrupted.front().filename().string()) +
                         "); give --overwrite to replace them, or choose another output directory");
    }
    if (earlier) {
        for (const std::string& name : ListedOutputs(manifest)) Remove(path_ / name);
        for (const fs::path& staging : interrupted) Remove(staging);
        Remove(manifest);
    }
    for (const std::string& name : planned) {
        if (fs::exists(path_ / name, ec)) {
            throw UsageError(path_.string() + " already holds " + name +
                             ", which speclink did not write; choose another output directory");
        }
    }

    staging_ = path_ / (std::string(kStagingPrefix) + std::to_string(::getpid()));
    fs::create_directory(staging_, ec);
    if (ec) throw OutputError("cannot create " + staging_.string() + ": " + ec.message());
}

OutputDirectory::~OutputDirectory() {
    if (committed_) return;
    std::error_code ec;
    fs::remove_all(staging_, ec);
}

std::size_t OutputDirectory::Commit() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(staging_, ec)) {
        names.push_back(entry.path().filename().string());
    }
    if (ec) throw OutputError("cannot list " + staging_.string() + ": " + ec.message());
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (fs::exists(path_ / name, ec)) {
            throw OutputError(path_.string() + " already holds " + name +
                              ", which speclink did not write; the results stay in " + staging_.string());
        }
    }
    // The list first under a temporary name: once it is in place every file it names is.
    std::string list;
    for (const std::string& name : names) list += name + "\n";
    const fs::path pending = staging_ / kManifest;
    {
        std::ofstream out(pending, std::ios::binary);
        out << list;
        out.close();
        if (!out) throw OutputError("cannot write " + pending.string());
    }
    for (const std::string& name : names) {
        fs::rename(staging_ / name, path_ / name, ec);
        if (ec) throw OutputError("cannot move " + name + " into " + path_.string() + ": " + ec.message());
    }
    fs::rename(pending, path_ / kManifest, ec);
    if (ec) throw OutputError("cannot write " + (path_ / kManifest).string() + ": " + ec.message());
    committed_ = true;
    fs::remove(staging_, ec);
    return names.size();
}

}  // namespace speclink::cli
