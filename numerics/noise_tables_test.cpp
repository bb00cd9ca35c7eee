#include "numerics/noise.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <cstdint>
#include <tuple>

TEST(NoiseTables, PermutationHoldsEachOf0To255OnceThenRepeats) {
    std::array<int, 256> seen{};
    for (int i = 0; i < 256; ++i) {
        ASSERT_GE(noise_permutation[i], 0);
        ASSERT_LE(noise_permutation[i], 255);
        ++seen[noise_permutation[i]];
    }
    for (int v = 0; v < 256; ++v) EXPECT_EQ(seen[v], 1) << "value " << v;
    for (int i = 0; i < 256; ++i) EXPECT_EQ(noise_permutation[256 + i], noise_permutation[i]) << "entry " << 256 + i;
}

TEST(NoiseTables, GradientsAreTheTwelveCubeEdgeDirections) {
    std::set<std::tuple<float, float, float>> distinct;
    for (const auto& g : gradient_vectors) {
        int zeros = 0;
        for (int c = 0; c < 3; ++c) {
            EXPECT_TRUE(g[c] == 0 || g[c] == 1 || g[c] == -1);
            zeros += g[c] == 0;
        }
        EXPECT_EQ(zeros, 1);
        EXPECT_EQ(g[3], 0.0f);
        distinct.insert({g[0], g[1], g[2]});
    }
    EXPECT_EQ(distinct.size(), 12u);
}

TEST(NoiseTables, SelectionFavoursRecords0_1_9_11) {
    std::array<int, 12> uses{};
    for (std::uint8_t record : gradient_select) {
        ASSERT_LT(record, 12);
        ++uses[record];
    }
    for (int record = 0; record < 12; ++record) {
        const bool favoured = record == 0 || record == 1 || record == 9 || record == 11;
        EXPECT_EQ(uses[record], favoured ? 6 : 5) << "record " << record;
    }
    const int extra[4] = {0, 9, 1, 11};
    for (int k = 0; k < 64; ++k) {
        const int expected = k < 12 ? k : k < 16 ? extra[k - 12] : (k - 16) % 12;
        EXPECT_EQ(gradient_select[k], expected) << "entry " << k;
    }
}

TEST(NoiseTables, OriginCornerHashesTo203AndPicksRecord11) {
    const std::int32_t* P = noise_permutation;
    EXPECT_EQ(P[0], 23);
    EXPECT_EQ(P[23], 10);
    EXPECT_EQ(P[P[P[0]]], 203);
    EXPECT_EQ(gradient_select[203 & 63], 11);
    EXPECT_EQ(gradient_dot(203, 0.75f, 0.25f, 0.5f), -0.75);  // record 11 is (0, -1, -1)
}
