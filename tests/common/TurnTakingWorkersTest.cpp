// RunTakingTurns: pieces done on several threads are handed on in order, one at a time, each
// on the thread that did it; the first failure in order reaches the caller.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "speclink/library/common/TurnTakingWorkers.h"

namespace speclink {
namespace {

struct Piece {
    std::size_t number;
    std::thread::id maker;
};

// Uneven work, so that later pieces often end first.
void Pause(std::size_t k) {
    if (k % 3 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200 + 50 * (k % 5)));
}

struct TurnCase {
    std::size_t count;
    int threads;
};

class TakingTurns : public ::testing::TestWithParam<TurnCase> {};

TEST_P(TakingTurns, HandsEveryPieceOnInOrderOnItsOwnThreadOneAtATime) {
    const TurnCase c = GetParam();
    std::vector<std::size_t> handed;
    std::atomic<int> at_once{0};
    bool overlapped = false;
    bool elsewhere = false;
    RunTakingTurns(
        c.count, c.threads,
        [](std::size_t k) {
            Pause(k);
            return Piece{k, std::this_thread::get_id()};
        },
        [&](Piece piece) {
            overlapped = overlapped || ++at_once > 1;
            elsewhere = elsewhere || piece.maker != std::this_thread::get_id();
            std::this_thread::sleep_for(std::chrono::microseconds(20));
            handed.push_back(piece.number);
            --at_once;
        });
    ASSERT_EQ(handed.size(), c.count);
    for (std::size_t k = 0; k < c.count; ++k) ASSERT_EQ(handed[k], k);
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(elsewhere);
}

INSTANTIATE_TEST_SUITE_P(Runs, TakingTurns,
                         ::testing::Values(TurnCase{0, 2}, TurnCase{1, 4}, TurnCase{5, 1}, TurnCase{40, 2},
                                           TurnCase{40, 3}, TurnCase{7, 8}));

// Failures at random pieces, from the work or from handing on, on random thread counts: the
// caller gets the first in order, after every piece before it and none after.
TEST(TakingTurns, TheFirstFailureInOrderStopsTheRun) {
    std::mt19937 random(3);
    for (int round = 0; round < 30; ++round) {
        const std::size_t count = 5 + random() % 30;
        const int threads = 1 + static_cast<int>(random() % 4);
        const std::size_t failing = random() % count;
        const std::size_t later = failing + random() % (count - failing);
        const bool in_hand_on = random() % 2 == 0;
        std::vector<std::size_t> handed;
        std::string caught;
        try {
            RunTakingTurns(
                count, threads,
                [&](std::size_t k) {
                    Pause(k);
                    if (!in_hand_on && (k == failing || k == later)) throw std::runtime_error(std::to_string(k));
                    return k;
                },
                [&](std::size_t k) {
                    if (in_hand_on && (k == failing || k == later)) throw std::runtime_error(std::to_string(k));
                    handed.push_back(k);
                });
        } catch (const std::runtime_error& error) {
            caught = error.what();
        }
        const std::string where = "round " + std::to_string(round) + ", " + std::to_string(threads) + " threads";
        EXPECT_EQ(caught, std::to_string(failing)) << where;
        ASSERT_EQ(handed.size(), failing) << where;
        for (std::size_t k = 0; k < failing; ++k) ASSERT_EQ(handed[k], k) << where;
    }
}

}  // namespace
}  // namespace speclink
