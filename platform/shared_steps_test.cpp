#include "platform/shared_steps.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr int STEPS = 4;
constexpr std::array<int, STEPS> ITEMS = {3, 1, 0, 16};

// Runs the steps on threads threads, the last of them starting late_by after the
// others, and checks that every item ran once, and each only after every item of
// the step before had finished.
void check_shared(int threads, std::chrono::milliseconds late_by) {
    shared_steps<STEPS> steps(ITEMS);
    std::array<std::vector<std::atomic<int>>, STEPS> runs;
    std::array<std::atomic<int>, STEPS> finished{};
    for (int s = 0; s < STEPS; ++s) runs[std::size_t(s)] = std::vector<std::atomic<int>>(std::size_t(ITEMS[std::size_t(s)]));
    std::atomic<int> early{0};
    const auto run = [&](int step, int item) {
        if (step > 0 && finished[std::size_t(step - 1)].load() != ITEMS[std::size_t(step - 1)]) ++early;
        std::this_thread::sleep_for(std::chrono::microseconds(200));  // long enough for the others to take items
        ++runs[std::size_t(step)][std::size_t(item)];
        ++finished[std::size_t(step)];
    };
    std::vector<std::thread> team;
    for (int t = 0; t < threads; ++t)
        team.emplace_back([&, t] {
            if (t == threads - 1) std::this_thread::sleep_for(late_by);
            steps.work(run);
            // Returning means every item of every step is done.
            for (int s = 0; s < STEPS; ++s) EXPECT_EQ(finished[std::size_t(s)].load(), ITEMS[std::size_t(s)]);
        });
    for (std::thread& thread : team) thread.join();
    EXPECT_EQ(early.load(), 0);
    for (int s = 0; s < STEPS; ++s)
        for (const std::atomic<int>& count : runs[std::size_t(s)]) EXPECT_EQ(count.load(), 1) << "step " << s;
}

}  // namespace

TEST(SharedSteps, EveryItemRunsOnceAndEveryStepWaitsForTheOneBefore) {
    check_shared(1, std::chrono::milliseconds(0));
    check_shared(2, std::chrono::milliseconds(0));
    check_shared(5, std::chrono::milliseconds(0));  // more threads than this machine has processors
}

TEST(SharedSteps, AThreadThatStartsLateFindsTheWorkDoneOrJoinsIt) {
    check_shared(2, std::chrono::milliseconds(1));   // arrives in the middle
    check_shared(2, std::chrono::milliseconds(50));  // arrives after the end
}

TEST(SharedSteps, AWaitLongerThanTheSpinSleepsAndSeesTheChange) {
    std::atomic<unsigned> value{7};
    std::thread setter([&value] {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        value.store(9);  // nobody is woken
    });
    EXPECT_EQ(spin_wait_while(value, 7), 9u);
    setter.join();
    EXPECT_EQ(spin_wait_while(value, 3), 9u);  // not old: at once
}
