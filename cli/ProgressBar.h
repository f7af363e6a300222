#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace speclink::cli {

/// A one-line progress display on stderr, shown only when stderr is a terminal so that
/// logs and pipelines stay clean. Standard output is left to the results.
class ProgressBar {
public:
    explicit ProgressBar(std::string label);
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    ~ProgressBar();

    /// Shows `done` of `total` (bytes, spectra...); redraws at most a few times a second.
    void Update(uint64_t done, uint64_t total);

    /// Clears the line.
    void Finish();

    static bool Enabled();

private:
    std::string label_;
    bool enabled_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point last_draw_{};
    std::chrono::steady_clock::time_point start_;
};

/// Shows the elapsed time on stderr while a long step with no progress of its own runs,
/// when stderr is a terminal and standard output is not.
class ElapsedTicker {
public:
    explicit ElapsedTicker(std::string label);
    ElapsedTicker(const ElapsedTicker&) = delete;
    ElapsedTicker& operator=(const ElapsedTicker&) = delete;
    ~ElapsedTicker();

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace speclink::cli
