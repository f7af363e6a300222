#pragma once

#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

namespace speclink::cli {

/// While it lives, SIGINT and SIGTERM end the run cleanly: the files of the unfinished run
/// are removed, a message says what happened, and the process exits with 130 or 143. The
/// signals are taken by a thread of its own, so that the engines' worker threads, which
/// start later and inherit the blocked signals, are never interrupted halfway.
class Interruption {
public:
    Interruption();
    Interruption(const Interruption&) = delete;
    Interruption& operator=(const Interruption&) = delete;
    ~Interruption();

    /// A directory to remove on a signal: the first one given is the unfinished outputs'
    /// (the message names where they were), later ones are working files.
    void RemoveOnSignal(const std::filesystem::path& directory);

private:
    void Wait();

    std::mutex mutex_;
    std::vector<std::filesystem::path> unfinished_;
    std::thread waiter_;
};

}  // namespace speclink::cli
