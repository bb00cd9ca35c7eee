#include "numerics/rng.h"

#include <gtest/gtest.h>

#include "numerics/rng_probe.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

namespace {

// Marks the source as never seeded (any position above 2496; 2497 at program start),
// with leftovers in the state and the LCG that an implicit seeding must ignore.
void mark_never_seeded(std::uint32_t position) {
    rng_forget_seed(rng_process_source(), position, 0x12345678u);
    set_lcg_state(0xABCDEFu);
}

std::vector<std::uint32_t> state_words(const random_source& source) {
    std::vector<std::uint32_t> words;
    for (int k = 0; k < 624; ++k) words.push_back(rng_state_word(source, k));
    return words;
}

std::uint32_t process_position() { return rng_position(rng_process_source()); }

std::vector<std::uint32_t> draws(int count) {
    std::vector<std::uint32_t> out;
    for (int i = 0; i < count; ++i) out.push_back(rng_next());
    return out;
}

}  // namespace

TEST(Rng, SeedFillsStateFromTheLcgAndArmsRegeneration) {
    set_lcg_state(0);
    EXPECT_EQ(lcg_next(), 0x2C707386u);  // state 0x2AA01D31, halves swapped, ^ 0x31415926
    EXPECT_EQ(lcg_state(), 0x2AA01D31u);

    rng_seed(0);  // the LCG steps before word 0 is formed
    const random_source& source = rng_process_source();
    EXPECT_EQ(rng_state_word(source, 0), 0x2C707386u);
    EXPECT_EQ(rng_state_word(source, 1), 0x67CF70CFu);
    EXPECT_EQ(rng_state_word(source, 2), 0x99E68C77u);
    EXPECT_EQ(rng_position(source), 2496u);
}

TEST(Rng, FirstDrawsForKnownSeeds) {
    struct Case {
        std::uint32_t seed;
        std::vector<std::uint32_t> first;
    };
    const Case cases[] = {
        {0, {1389714085u, 190512437u, 792236180u}},
        {1, {893384187u, 1869952938u}},
        {12345, {1608556184u, 503831964u}},
    };
    for (const Case& c : cases) {
        rng_seed(c.seed);
        EXPECT_EQ(draws(int(c.first.size())), c.first) << "seed " << c.seed;
    }
}

TEST(Rng, DrawingBeforeAnySeedingActsAsSeedZero) {
    for (std::uint32_t position : {2497u, 5000u, 0xFFFFFFFCu}) {
        mark_never_seeded(position);
        EXPECT_EQ(draws(3), (std::vector<std::uint32_t>{1389714085u, 190512437u, 792236180u})) << position;
        EXPECT_EQ(process_position(), 12u);
        EXPECT_EQ(lcg_state(), 0xABCDEFu);
    }
}

TEST(Rng, SeedingLeavesTheLcgAsItFoundIt) {
    set_lcg_state(0xDEADBEEFu);
    rng_seed(77);
    EXPECT_EQ(lcg_state(), 0xDEADBEEFu);
    const auto with_garbage_lcg = draws(5);

    set_lcg_state(0);
    rng_seed(77);
    EXPECT_EQ(lcg_state(), 0u);
    EXPECT_EQ(draws(5), with_garbage_lcg);  // the saved LCG state never leaks into the sequence
}

TEST(Rng, ReseedingRestartsTheSequenceWhateverWasDrawn) {
    rng_seed(12345);
    const auto first = draws(10);
    draws(1000);  // crosses a regeneration
    rng_seed(12345);
    EXPECT_EQ(draws(10), first);
}

TEST(Rng, RegeneratesOnceEvery624Draws) {
    rng_seed(9);
    rng_next();  // draw 1 regenerates
    const std::vector<std::uint32_t> batch = state_words(rng_process_source());
    for (int draw = 2; draw <= 624; ++draw) rng_next();
    EXPECT_EQ(process_position(), 2496u);
    EXPECT_EQ(state_words(rng_process_source()), batch) << "draw 624 must still use the first batch";

    rng_next();  // draw 625
    EXPECT_EQ(process_position(), 4u);
    EXPECT_NE(state_words(rng_process_source()), batch) << "draw 625 must regenerate";
}

// For a given state the outputs are exactly MT19937's: load the LCG-filled words into
// the standard library's engine (its text form is the 624 state words, and it twists
// before its first output) and compare three batches, crossing two regenerations.
TEST(Rng, OutputsMatchTheStandardTwisterFromTheSameState) {
    for (std::uint32_t seed : {0u, 1u, 0x80000000u, 0xFFFFFFFFu}) {
        rng_seed(seed);
        std::ostringstream words;
        for (std::uint32_t w : state_words(rng_process_source())) words << w << ' ';
        words << 624;  // index of the next word: all used
        std::mt19937 engine;
        std::istringstream(words.str()) >> engine;

        for (int draw = 1; draw <= 3 * 624; ++draw) {
            const std::uint32_t expected = static_cast<std::uint32_t>(engine());
            ASSERT_EQ(rng_next(), expected) << "seed " << seed << ", draw " << draw;
        }
    }
}

TEST(Rng, UnitIsTheExactDrawTimesTwoToTheMinus32) {
    rng_seed(0);
    const double first = rng_unit();
    EXPECT_EQ(std::bit_cast<std::uint64_t>(first), std::bit_cast<std::uint64_t>(0.3235680249053985));
    EXPECT_EQ(first, std::ldexp(1389714085.0, -32));
    EXPECT_NE(first, static_cast<double>(static_cast<float>(first))) << "a float result would lose bits";

    for (int i = 0; i < 5000; ++i) {
        const double u = rng_unit();
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
        ASSERT_EQ(std::ldexp(u, 32), std::floor(std::ldexp(u, 32))) << "not a multiple of 2^-32";
    }
}

// ---- sources of the callers' own

TEST(RandomSource, GivesTheProcessWideSequenceAndSharesNothingWithIt) {
    for (std::uint32_t seed : {0u, 1u, 12345u, 0xFFFFFFFFu}) {
        rng_seed(seed);
        const auto expected = draws(1300);  // crosses two regenerations
        set_lcg_state(0x5A5A5A5Au);
        rng_seed(seed ^ 1);  // the process-wide source elsewhere in its sequence

        random_source own;
        rng_seed(own, seed);
        EXPECT_EQ(rng_position(own), 2496u);
        std::vector<std::uint32_t> got;
        for (int i = 0; i < 1300; ++i) {
            got.push_back(rng_next(own));
            if (i % 100 == 0) rng_next();  // draws elsewhere do not disturb it
        }
        EXPECT_EQ(got, expected) << "seed " << seed;
        EXPECT_EQ(lcg_state(), 0x5A5A5A5Au) << "seeding a source of one's own leaves the process-wide LCG alone";
    }
}

TEST(RandomSource, NewOrForgottenSourceDrawsAsSeedZero) {
    const std::vector<std::uint32_t> seed_zero{1389714085u, 190512437u, 792236180u};
    random_source fresh;
    EXPECT_GT(rng_position(fresh), 2496u);
    std::vector<std::uint32_t> got;
    for (int i = 0; i < 3; ++i) got.push_back(rng_next(fresh));
    EXPECT_EQ(got, seed_zero);

    for (std::uint32_t position : {2497u, 0xFFFFFFFCu}) {
        rng_forget_seed(fresh, position, 0xFEEDFACEu);
        got.clear();
        for (int i = 0; i < 3; ++i) got.push_back(rng_next(fresh));
        EXPECT_EQ(got, seed_zero) << position;
        EXPECT_EQ(rng_position(fresh), 12u);
    }
    EXPECT_EQ(std::ldexp(double(seed_zero[0]), -32), [] {
        random_source s;
        return rng_unit(s);
    }());
}

TEST(RandomSource, ThreadsWithSourcesOfTheirOwnDrawTheSameSequences) {
    // Each thread seeds and drains its own source; no thread sees another's draws.
    constexpr int THREADS = 4, DRAWS = 5000;
    std::vector<std::vector<std::uint32_t>> results(THREADS);
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t)
        threads.emplace_back([&results, t] {
            random_source own;
            for (int round = 0; round < 20; ++round) {
                rng_seed(own, 1000 + t % 2);
                results[t].clear();
                for (int i = 0; i < DRAWS; ++i) results[t].push_back(rng_next(own));
            }
        });
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < THREADS; ++t) {
        random_source alone;
        rng_seed(alone, 1000 + t % 2);
        for (int i = 0; i < DRAWS; ++i) ASSERT_EQ(results[t][i], rng_next(alone)) << "thread " << t << ", draw " << i;
    }
}
