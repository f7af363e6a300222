#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace speclink {

/// Runs `count` pieces of work, numbered from 0, on `threads` threads, the caller's among
/// them. Each thread takes the next piece no thread has taken, does it (work(k) returns its
/// result), waits for its turn and hands the result on itself (hand_on(result)), in the
/// order of the numbers. Unlike RunInOrder (InOrderWorkers.h), which hands every result on
/// on the caller's thread, results are handed on one at a time, each on the thread that
/// made it: what it allocated is freed there too, if the receiver frees it, and no thread
/// waits while the caller hands on. A thread holds at most one result while it waits.
///
/// The first exception, from work(k) when piece k's turn comes or from hand_on, stops the
/// run: no later piece is handed on, and the exception leaves RunTakingTurns once every
/// thread has ended. When no further thread can be started the run goes on with those it has.
template <typename Work, typename HandOn>
void RunTakingTurns(std::size_t count, int threads, Work work, HandOn hand_on) {
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable turn_changed;
    std::size_t turn = 0;  // guarded by mutex
    std::atomic<bool> stopped{false};
    std::exception_ptr error;  // guarded by mutex

    const auto run = [&] {
        for (std::size_t k = next++; k < count && !stopped; k = next++) {
            using Result = decltype(work(k));
            std::optional<Result> result;
            std::exception_ptr failed;
            try {
                result.emplace(work(k));
            } catch (...) {
                failed = std::current_exception();
            }
            std::unique_lock lock(mutex);
            turn_changed.wait(lock, [&] { return turn == k || stopped; });
            if (stopped) return;
            try {
                if (failed) std::rethrow_exception(failed);
                hand_on(std::move(*result));
                ++turn;
            } catch (...) {
                error = std::current_exception();
                stopped = true;
            }
            turn_changed.notify_all();
        }
    };

    std::vector<std::thread> helpers;
    for (int t = 1; t < threads && static_cast<std::size_t>(t) < count; ++t) {
        try {
            helpers.emplace_back(run);
        } catch (const std::system_error&) {
            break;
        }
    }
    run();
    for (std::thread& helper : helpers) helper.join();
    if (error) std::rethrow_exception(error);
}

}  // namespace speclink
