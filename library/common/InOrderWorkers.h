#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace speclink {

/// Works through items 0 .. count - 1 in consecutive blocks of `block` items on up to
/// `threads` threads (the caller's thread among them) and hands the result of every block to
/// `consume` on the caller's thread, in block order, so that whatever `consume` writes comes
/// out as a sequential run would write it.
///
/// - make_state() gives one thread's working state (called once on each working thread);
/// - produce(state, first, end, result) fills `result` for the items first .. end - 1;
///   result objects are reused from block to block (so that their storage is), and
///   `produce` finds in it what the last block that used it left there;
/// - consume(result) takes the results in order.
///
/// With `threads` of 1 or less everything runs on the caller's thread, block after block.
/// Workers run at most a few blocks ahead of `consume`, which bounds the results held. When
/// a thread cannot be started the others share its work. An exception from any of the
/// three stops the run and is rethrown to the caller once every thread has ended.
template <typename Result, typename MakeState, typename Produce, typename Consume>
void RunInOrder(std::size_t count, std::size_t block, int threads, MakeState make_state, Produce produce,
                Consume consume) {
    block = std::max<std::size_t>(block, 1);
    const std::size_t blocks = (count + block - 1) / block;
    const auto bounds = [count, block](std::size_t b) {
        return std::pair<std::size_t, std::size_t>(b * block, std::min(count, (b + 1) * block));
    };
    const std::size_t helpers = threads > 1 ? std::min<std::size_t>(static_cast<std::size_t>(threads) - 1, blocks) : 0;
    if (helpers == 0) {
        auto state = make_state();
        Result result{};
        for (std::size_t b = 0; b < blocks; ++b) {
            const auto [first, end] = bounds(b);
            produce(state, first, end, result);
            consume(result);
        }
        return;
    }

    // Shared between the threads, guarded by `mutex`. Block b is produced into
    // results[b % window] and waits there, marked ready, until it is consumed; no block is
    // started more than `window` blocks after the next one to consume, so a result object
    // is free again by the time the next block that uses it starts.
    const std::size_t window = 4 * (helpers + 1);
    std::mutex mutex;
    std::condition_variable changed;
    // Each result on cache lines of its own: threads write their results side by side.
    struct alignas(64) Slot {
        Result result;
    };
    std::vector<Slot> results(window);
    std::vector<char> ready(window, 0);
    std::size_t next = 0;
    std::size_t consumed = 0;
    std::exception_ptr failure;

    const auto may_start = [&] { return next < blocks && next < consumed + window; };
    const auto fail = [&](std::exception_ptr error) {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!failure) failure = error;
        changed.notify_all();
    };
    // Produces block `b` outside the lock and marks it ready; false when it failed.
    const auto run_block = [&](auto& state, std::size_t b, std::unique_lock<std::mutex>& lock) {
        lock.unlock();
        try {
            const auto [first, end] = bounds(b);
            produce(state, first, end, results[b % window].result);
        } catch (...) {
            fail(std::current_exception());
            lock.lock();
            return false;
        }
        lock.lock();
        ready[b % window] = 1;
        changed.notify_all();
        return true;
    };

    const auto helper = [&] {
        try {
            auto state = make_state();
            std::unique_lock<std::mutex> lock(mutex);
            for (;;) {
                changed.wait(lock, [&] { return failure || next >= blocks || may_start(); });
                if (failure || next >= blocks) return;
                if (!run_block(state, next++, lock)) return;
            }
        } catch (...) {
            fail(std::current_exception());
        }
    };

    std::vector<std::thread> workers;
    workers.reserve(helpers);
    for (std::size_t h = 0; h < helpers; ++h) {
        try {
            workers.emplace_back(helper);
        } catch (const std::system_error&) {
            break;  // No more threads to be had: the ones running share the work.
        }
    }

    try {
        auto state = make_state();
        std::unique_lock<std::mutex> lock(mutex);
        while (consumed < blocks && !failure) {
            const std::size_t slot = consumed % window;
            if (ready[slot] != 0) {
                // The slot stays taken (no block may start in it) until consumed moves on.
                lock.unlock();
                consume(results[slot].result);
                lock.lock();
                ready[slot] = 0;
                ++consumed;
                changed.notify_all();
            } else if (may_start()) {
                run_block(state, next++, lock);
            } else {
                changed.wait(lock);
            }
        }
    } catch (...) {
        fail(std::current_exception());
    }
    {
        // Stop the helpers that still wait for blocks.
        const std::lock_guard<std::mutex> lock(mutex);
        next = blocks;
        changed.notify_all();
    }
    for (std::thread& worker : workers) worker.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace speclink
