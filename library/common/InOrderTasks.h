#pragma once

#include <cstddef>
#include <deque>
#include <future>
#include <memory>
#include <system_error>
#include <utility>

namespace speclink {

/// Pieces of work given one after another, as a reader finds them, run on up to `threads`
/// threads of their own while the caller goes on, their results handed to `hand_on` on the
/// caller's thread in the order the work was given. With `threads` of 1 or less, or when no
/// thread can be had, a piece runs on the caller's thread, after every piece before it has
/// been handed on.
///
/// An exception from `hand_on` leaves once the pieces still running have ended; the results
/// after it are dropped.
template <typename Result, typename HandOn>
class InOrderTasks {
public:
    InOrderTasks(int threads, HandOn hand_on) : threads_(threads), hand_on_(std::move(hand_on)) {}
    InOrderTasks(const InOrderTasks&) = delete;
    InOrderTasks& operator=(const InOrderTasks&) = delete;

    /// Starts work() (which returns a Result), first handing on the oldest result when
    /// `threads` pieces are under way.
    template <typename Work>
    void Add(Work work) {
        if (threads_ > 1) {
            if (pending_.size() >= static_cast<std::size_t>(threads_)) HandOnOldest();
            // Shared, so that the work is still whole here when no thread can be started.
            const auto shared = std::make_shared<Work>(std::move(work));
            try {
                pending_.push_back(std::async(std::launch::async, [shared] { return (*shared)(); }));
                return;
            } catch (const std::system_error&) {
                Finish();
            }
            Deliver((*shared)());
            return;
        }
        Deliver(work());
    }

    /// Hands on every result still pending.
    void Finish() {
        while (!pending_.empty()) HandOnOldest();
    }

private:
    void HandOnOldest() {
        Result result = pending_.front().get();
        pending_.pop_front();
        Deliver(std::move(result));
    }

    void Deliver(Result result) {
        try {
            hand_on_(std::move(result));
        } catch (...) {
            // The futures wait for their threads as they go.
            pending_.clear();
            throw;
        }
    }

    int threads_;
    HandOn hand_on_;
    std::deque<std::future<Result>> pending_;
};

}  // namespace speclink
