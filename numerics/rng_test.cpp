#include "numerics/rng.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <vector>

namespace {

// Marks the source as never seeded (any position above 2496; 2497 at program start),
// with leftovers in the state and the LCG that an implicit seeding must ignore.
void mark_never_seeded(std::uint32_t position) {
    std::fill(std::begin(rng_state), std::end(rng_state), 0x12345678u);
    rng_position = position;
    lcg_state = 0xABCDEFu;
}

std::vector<std::uint32_t> draws(int count) {
    std::vector<std::uint32_t> out;
    for (int i = 0; i < count; ++i) out.push_back(rng_next());
    return out;
}

}  // namespace

TEST(Rng, SeedFillsStateFromTheLcgAndArmsRegeneration) {
    lcg_state = 0;
    EXPECT_EQ(lcg_next(), 0x2C707386u);  // state 0x2AA01D31, halves swapped, ^ 0x31415926
    EXPECT_EQ(lcg_state, 0x2AA01D31u);

    rng_seed(0);  // the LCG steps before word 0 is formed
    EXPECT_EQ(rng_state[0], 0x2C707386u);
    EXPECT_EQ(rng_state[1], 0x67CF70CFu);
    EXPECT_EQ(rng_state[2], 0x99E68C77u);
    EXPECT_EQ(rng_position, 2496u);
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
        EXPECT_EQ(rng_position, 12u);
        EXPECT_EQ(lcg_state, 0xABCDEFu);
    }
}

TEST(Rng, SeedingLeavesTheLcgAsItFoundIt) {
    lcg_state = 0xDEADBEEFu;
    rng_seed(77);
    EXPECT_EQ(lcg_state, 0xDEADBEEFu);
    const auto with_garbage_lcg = draws(5);

    lcg_state = 0;
    rng_seed(77);
    EXPECT_EQ(lcg_state, 0u);
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
    std::vector<std::uint32_t> batch(std::begin(rng_state), std::end(rng_state));
    for (int draw = 2; draw <= 624; ++draw) rng_next();
    EXPECT_EQ(rng_position, 2496u);
    EXPECT_TRUE(std::equal(batch.begin(), batch.end(), rng_state)) << "draw 624 must still use the first batch";

    rng_next();  // draw 625
    EXPECT_EQ(rng_position, 4u);
    EXPECT_FALSE(std::equal(batch.begin(), batch.end(), rng_state)) << "draw 625 must regenerate";
}

// For a given state the outputs are exactly MT19937's: load the LCG-filled words into
// the standard library's engine (its text form is the 624 state words, and it twists
// before its first output) and compare three batches, crossing two regenerations.
TEST(Rng, OutputsMatchTheStandardTwisterFromTheSameState) {
    for (std::uint32_t seed : {0u, 1u, 0x80000000u, 0xFFFFFFFFu}) {
        rng_seed(seed);
        std::ostringstream words;
        for (std::uint32_t w : rng_state) words << w << ' ';
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
