#include "tools/colour_quantiser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

double distance(std::uint32_t a, std::uint32_t b) {
    double sum = 0;
    for (int shift : {0, 8, 16}) {
        const double d = double(a >> shift & 0xFF) - double(b >> shift & 0xFF);
        sum += d * d;
    }
    return std::sqrt(sum);
}

std::vector<colour_count> random_histogram(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<colour_count> h;
    std::vector<bool> used(1 << 24);
    while (h.size() < n) {
        const std::uint32_t rgb = rng() & 0xFFFFFF;
        if (used[rgb]) continue;
        used[rgb] = true;
        h.push_back({rgb, 1 + rng() % 1000});
    }
    return h;
}

TEST(ColourQuantiser, HistogramsThatFitGoThroughExactly) {
    for (const std::size_t n : {0u, 1u, 200u, 255u}) {
        const std::vector<colour_count> h = random_histogram(n, 7);
        const quantised_colours q = quantise_colours(h, 255);
        EXPECT_TRUE(q.exact);
        ASSERT_EQ(q.index.size(), n);
        for (std::size_t i = 0; i < n; ++i) EXPECT_EQ(q.palette[q.index[i]], h[i].rgb);
        EXPECT_EQ(q.max_error, 0);
    }
}

TEST(ColourQuantiser, ReducedPaletteMapsEveryColourToItsNearestEntryAndReportsTheTrueError) {
    // The small histogram is searched directly, the large one through the grid
    // of candidate lists; both must give each colour its nearest entry.
    for (const std::size_t n : {3000u, 140000u}) {
        SCOPED_TRACE(n);
        const std::vector<colour_count> h = random_histogram(n, std::uint32_t(n));
        const quantised_colours q = quantise_colours(h, 255);
        EXPECT_FALSE(q.exact);
        EXPECT_EQ(q.palette.size(), 255u);
        double weight = 0, sum = 0, worst = 0;
        std::size_t not_nearest = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double e = distance(h[i].rgb, q.palette[q.index[i]]);
            not_nearest += e > distance(h[i].rgb, q.palette[nearest_palette_entry(q.palette, h[i].rgb)]);
            sum += e * double(h[i].count), weight += double(h[i].count), worst = std::max(worst, e);
        }
        EXPECT_EQ(not_nearest, 0u);
        EXPECT_NEAR(q.mean_error, sum / weight, 1e-9);
        EXPECT_EQ(q.max_error, worst);
        // 255 entries over uniformly spread colours: cells about 40 levels a side.
        EXPECT_LT(q.mean_error, 30.0);
        EXPECT_EQ(quantise_colours(h, 255).palette, q.palette) << "not deterministic";
    }
}

TEST(ColourQuantiser, ClustersAreFoundAndWeightsPullTheirEntries) {
    // Two tight clusters and a lone heavy colour: with three entries each gets one.
    std::vector<colour_count> h;
    for (std::uint32_t i = 0; i < 10; ++i) h.push_back({0x100000u + i, 1});
    for (std::uint32_t i = 0; i < 10; ++i) h.push_back({0x00F000u + i * 0x10000u, 1});
    h.push_back({0x0000FF, 1000});
    const quantised_colours q = quantise_colours(h, 3);
    ASSERT_EQ(q.palette.size(), 3u);
    EXPECT_EQ(q.palette[q.index.back()], 0x0000FFu);
    EXPECT_NE(q.index[0], q.index[10]);
    EXPECT_LT(q.max_error, 6.0);
}

}  // namespace
