#pragma once

#include <cstdint>
#include <functional>

namespace speclink {

/// Counts the file bytes consumed by a run over one or more files and reports them to the
/// caller's progress hook.
class ProgressCounter {
public:
    using Hook = std::function<void(uint64_t bytes_read, uint64_t total_bytes)>;

    ProgressCounter(Hook hook, uint64_t total_bytes) : hook_(std::move(hook)), total_(total_bytes) {}

    void Add(uint64_t bytes) {
        done_ += bytes;
        if (hook_) hook_(done_, total_ < done_ ? done_ : total_);
    }

    uint64_t done() const { return done_; }

private:
    Hook hook_;
    uint64_t total_ = 0;
    uint64_t done_ = 0;
};

}  // namespace speclink
