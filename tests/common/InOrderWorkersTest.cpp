// RunInOrder: blocks produced on several threads are consumed in block order, every item
// once; failures reach the caller.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "speclink/library/common/InOrderWorkers.h"

namespace speclink {
namespace {

struct Block {
    std::vector<std::size_t> items;
    std::thread::id producer;
};

struct RunCase {
    std::size_t count;
    std::size_t block;
    int threads;
};

class Ordering : public ::testing::TestWithParam<RunCase> {};

TEST_P(Ordering, ConsumesEveryItemOnceInOrder) {
    const RunCase c = GetParam();
    std::vector<std::size_t> consumed;
    std::set<std::thread::id> producers;
    std::atomic<int> states{0};
    RunInOrder<Block>(
        c.count, c.block, c.threads, [&] { return ++states; },
        [&](int /*state*/, std::size_t first, std::size_t end, Block& out) {
            // A reused result still holds the last block's items.
            out.items.clear();
            out.producer = std::this_thread::get_id();
            for (std::size_t k = first; k < end; ++k) {
                // Uneven work, so that later blocks often finish first.
                if (k % 7 == 0) std::this_thread::sleep_for(std::chrono::microseconds(50));
                out.items.push_back(k);
            }
        },
        [&](Block& out) {
            consumed.insert(consumed.end(), out.items.begin(), out.items.end());
            producers.insert(out.producer);
        });
    ASSERT_EQ(consumed.size(), c.count);
    for (std::size_t k = 0; k < c.count; ++k) ASSERT_EQ(consumed[k], k);
    // One working state per thread that took part, at most `threads` of them.
    EXPECT_LE(states.load(), std::max(c.threads, 1));
    EXPECT_LE(producers.size(), static_cast<std::size_t>(std::max(c.threads, 1)));
}

INSTANTIATE_TEST_SUITE_P(RunInOrder, Ordering,
                         ::testing::Values(RunCase{0, 4, 1}, RunCase{0, 4, 4}, RunCase{1, 4, 4}, RunCase{10, 1, 1},
                                           RunCase{10, 3, 2}, RunCase{1000, 1, 4}, RunCase{1000, 7, 3},
                                           RunCase{5, 1, 16}, RunCase{100, 0, 2}, RunCase{100, 10, -3}),
                         [](const auto& info) {
                             return std::to_string(info.param.count) + "Items" + std::to_string(info.param.block) +
                                    "PerBlock" + std::to_string(info.index);
                         });

TEST(RunInOrder, ConsumesOnTheCallersThread) {
    const std::thread::id caller = std::this_thread::get_id();
    RunInOrder<int>(
        100, 1, 4, [] { return 0; }, [](int, std::size_t, std::size_t, int&) {},
        [&](int&) { EXPECT_EQ(std::this_thread::get_id(), caller); });
}

struct Failure {
    const char* name;
    int threads;
    std::size_t failing_item;  // in produce, or consume when beyond the items
};

class Failing : public ::testing::TestWithParam<Failure> {};

TEST_P(Failing, ExceptionReachesTheCaller) {
    const Failure f = GetParam();
    const std::size_t count = 200;
    std::size_t consumed = 0;
    EXPECT_THROW(RunInOrder<std::size_t>(
                     count, 2, f.threads, [] { return 0; },
                     [&](int, std::size_t first, std::size_t, std::size_t& out) {
                         if (first == f.failing_item) throw std::runtime_error("produce");
                         out = first;
                     },
                     [&](std::size_t& out) {
                         if (out + count == f.failing_item) throw std::runtime_error("consume");
                         ++consumed;
                     }),
                 std::runtime_error);
    // Blocks after the failing one are never consumed.
    EXPECT_LE(consumed, f.failing_item < count ? f.failing_item / 2 : (f.failing_item - count) / 2);
}

INSTANTIATE_TEST_SUITE_P(RunInOrder, Failing,
                         ::testing::Values(Failure{"ProduceOneThread", 1, 100}, Failure{"ProduceFourThreads", 4, 100},
                                           Failure{"FirstBlockFourThreads", 4, 0},
                                           Failure{"ConsumeOneThread", 1, 200 + 50},
                                           Failure{"ConsumeFourThreads", 4, 200 + 50}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace speclink
