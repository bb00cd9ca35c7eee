#include "tools/ordered_work.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>

namespace {

TEST(RunInOrder, TakesEveryResultInOrderWhicheverThreadFinishesFirst) {
    for (int threads : {1, 3, 8}) {
        for (std::size_t count : {0u, 1u, 2u, 57u}) {
            std::vector<std::size_t> taken;
            const bool ok = run_in_order<std::size_t>(
                count, threads,
                [](std::size_t i) {
                    // early items finish last, so results arrive out of order
                    if (i < 4) std::this_thread::sleep_for(std::chrono::milliseconds(4 - i));
                    return i * i;
                },
                [&](std::size_t i, std::size_t square) {
                    EXPECT_EQ(square, i * i);
                    taken.push_back(i);
                    return true;
                });
            EXPECT_TRUE(ok);
            ASSERT_EQ(taken.size(), count) << threads << " threads";
            for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(taken[i], i);
        }
    }
}

TEST(RunInOrder, StopsMakingOnceTakeSaysNoAndWorksAFewItemsAhead) {
    const int threads = 3;
    std::atomic<std::size_t> made{0}, furthest{0};
    std::size_t taken = 0;
    const bool ok = run_in_order<int>(
        1000, threads,
        [&](std::size_t i) {
            ++made;
            for (std::size_t f = furthest; i > f && !furthest.compare_exchange_weak(f, i);) {
            }
            return 0;
        },
        [&](std::size_t i, int) {
            // nothing is made further than two items a thread beyond what was taken
            EXPECT_LT(furthest.load(), i + 2 * threads + 1);
            return ++taken < 10;
        });
    EXPECT_FALSE(ok);
    EXPECT_EQ(taken, 10u);
    EXPECT_LE(made.load(), 10u + 2 * threads);
}

TEST(RunInOrder, AnExceptionFromEitherSideEndsTheWorkAndIsThrownToTheCaller) {
    auto count_to = [](std::size_t i) -> int {
        if (i == 5) throw std::runtime_error("made 5");
        return int(i);
    };
    std::size_t taken = 0;
    EXPECT_THROW(run_in_order<int>(100, 2, count_to, [&](std::size_t, int) { return ++taken, true; }),
                 std::runtime_error);
    EXPECT_EQ(taken, 5u);
    EXPECT_THROW(run_in_order<int>(
                     100, 2, [](std::size_t i) { return int(i); },
                     [](std::size_t i, int) -> bool { throw std::runtime_error("took " + std::to_string(i)); }),
                 std::runtime_error);
}

TEST(ReadJobs, TakesWholeNumbersFromOneTo1024) {
    int jobs = 0;
    EXPECT_TRUE(read_jobs("1", &jobs) && jobs == 1);
    EXPECT_TRUE(read_jobs("1024", &jobs) && jobs == 1024);
    for (const char* bad : {"", "0", "1025", "-1", "+2", "2x", " 2", "99999"}) EXPECT_FALSE(read_jobs(bad, &jobs)) << bad;
}

}  // namespace
