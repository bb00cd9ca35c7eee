#include "terrain/map_columns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "numerics/rng.h"
#include "terrain/map.h"
#include "terrain/vector_paths_test.h"
#include "volume/volume.h"

namespace {

std::unique_ptr<map_columns> columns_of(std::int32_t seed, bool regions) {
    auto out = std::make_unique<map_columns>();
    generate_map_columns(seed, regions, *out);
    return out;
}

// The map of seed as the program's run makes it, in the volume by the plain stages,
// reduced to its columns: column_height and the word of each column's voxel z = 0.
std::unique_ptr<map_columns> plain_volume_columns(std::int32_t seed, bool regions) {
    clear_volume();
    debug_regions = regions ? 1 : 0;
    rng_seed(static_cast<std::uint32_t>(seed));
    generate_map_plain();
    auto out = std::make_unique<map_columns>();
    std::copy_n(column_height, COLUMN_COUNT, out->heights);
    for (std::size_t c = 0; c < COLUMN_COUNT; ++c) out->colours[c] = color_map[c * MAP_DEPTH];
    clear_volume();
    return out;
}

// Where two maps of columns first differ, or "" where they agree.
std::string first_difference(const map_columns& expected, const map_columns& actual) {
    for (std::size_t c = 0; c < COLUMN_COUNT; ++c) {
        if (expected.heights[c] != actual.heights[c])
            return "height of column " + std::to_string(c) + ": " + std::to_string(actual.heights[c]) + ", not " +
                   std::to_string(expected.heights[c]);
        if (expected.colours[c] != actual.colours[c])
            return "colour of column " + std::to_string(c) + ": " + std::to_string(actual.colours[c]) + ", not " +
                   std::to_string(expected.colours[c]);
    }
    return "";
}

}  // namespace

TEST(MapColumns, SameColumnsAsThePlainVolumeForManySeeds) {
    const std::int32_t seeds[] = {1,  0, -1, 5, 77, 12345, std::numeric_limits<std::int32_t>::min(),
                                  std::numeric_limits<std::int32_t>::max(), -5, 0x5EED, 1000003};
    for (const std::int32_t seed : seeds)
        for (bool regions : {false, true})
            EXPECT_EQ(first_difference(*plain_volume_columns(seed, regions), *columns_of(seed, regions)), "")
                << "seed " << seed << (regions ? " -d" : "");
}

TEST(MapColumns, EveryVectorPathGivesTheSameColumns) {
    // The whole map with the chosen path pinned to each one the processor can run,
    // as tests and benchmarks may pin it; the path chosen before is pinned again after.
    const vector_path chosen = chosen_vector_path();
    for (const std::int32_t seed : {1, -77}) {
        const auto plain = plain_volume_columns(seed, true);
        for (vector_path path : supported_paths()) {
            pin_vector_path(path);
            EXPECT_EQ(first_difference(*plain, *columns_of(seed, true)), "")
                << "seed " << seed << ", " << vector_path_name(path);
        }
    }
    pin_vector_path(chosen);
}

TEST(MapColumns, SeedOneGivesTheKnownColumnsAndOutlines) {
    const auto plain = columns_of(1, false);
    const std::int32_t* begin = plain->heights;
    const std::int32_t* end = begin + COLUMN_COUNT;
    EXPECT_EQ(std::count(begin, end, 0), 2624);
    EXPECT_EQ(*std::max_element(begin, end), 26);
    EXPECT_EQ(plain->heights[column_index(100, 200)], 4);
    EXPECT_EQ(plain->colours[column_index(100, 200)], 0x80717D53u);
    EXPECT_EQ(plain->colours[column_index(0, 0)], 0x80BFBFBFu);
    EXPECT_EQ(plain->colours[column_index(256, 256)], 0x8083A8BBu);

    // The outlines change exactly 480 blue and 479 green columns, and no height.
    const auto marked = columns_of(1, true);
    EXPECT_EQ(std::memcmp(plain->heights, marked->heights, sizeof plain->heights), 0);
    int blue = 0, green = 0, other = 0;
    for (std::size_t c = 0; c < COLUMN_COUNT; ++c) {
        if (marked->colours[c] == plain->colours[c]) continue;
        if (marked->colours[c] == 0x806060FFu) ++blue;
        else if (marked->colours[c] == 0x8030D030u) ++green;
        else ++other;
    }
    EXPECT_EQ(blue, 480);
    EXPECT_EQ(green, 479);
    EXPECT_EQ(other, 0);
    EXPECT_EQ(marked->colours[column_index(384, 384)], 0x8030D030u);
    EXPECT_EQ(marked->colours[column_index(128, 384)], plain->colours[column_index(128, 384)]);
}

TEST(MapColumns, TouchesNoProcessWideStateAndNeedsNoCleanWorkspace) {
    // The volume, its fields and the process-wide source as someone else left them:
    // none of it may change, and a workspace full of leftovers gives the same map.
    clear_volume();
    std::fill_n(solid_map, VOXEL_COUNT, 0x5A);
    std::fill_n(color_map, VOXEL_COUNT, 0xC0FFEE00u);
    for (float* field : {height_field, noise_field_a, noise_field_b}) std::fill_n(field, COLUMN_COUNT, 3.5f);
    std::fill_n(column_height, COLUMN_COUNT, 9);
    debug_regions = 0;
    rng_seed(42);
    rng_next();

    const auto expected = columns_of(77, true);
    auto work = std::make_unique<map_workspace>();
    for (float* field : {work->height, work->noise_a})
        std::fill_n(field, COLUMN_COUNT, std::numeric_limits<float>::quiet_NaN());
    auto out = std::make_unique<map_columns>();
    std::fill_n(out->heights, COLUMN_COUNT, -7);
    std::fill_n(out->colours, COLUMN_COUNT, 0xA5A5A5A5u);
    for (int round = 0; round < 2; ++round) {  // the second round on the first one's leftovers
        generate_map_columns(77, true, *out, *work);
        EXPECT_EQ(first_difference(*expected, *out), "") << "round " << round;
    }

    EXPECT_TRUE(std::all_of(solid_map, solid_map + VOXEL_COUNT, [](std::uint8_t v) { return v == 0x5A; }));
    EXPECT_TRUE(std::all_of(color_map, color_map + VOXEL_COUNT, [](std::uint32_t w) { return w == 0xC0FFEE00u; }));
    for (const float* field : {height_field, noise_field_a, noise_field_b})
        EXPECT_TRUE(std::all_of(field, field + COLUMN_COUNT, [](float v) { return v == 3.5f; }));
    EXPECT_TRUE(std::all_of(column_height, column_height + COLUMN_COUNT, [](std::int32_t h) { return h == 9; }));
    EXPECT_EQ(debug_regions, 0);
    const std::uint32_t next = rng_next();
    rng_seed(42);
    rng_next();
    EXPECT_EQ(rng_next(), next) << "the process-wide source moved";
    clear_volume();
}

TEST(MapColumns, ThreadsAtOnceMakeTheSameColumnsAsOneThread) {
    // Four threads, each making the same six maps in its own order, half of them in
    // a workspace it reuses: every map as one thread made it.
    const std::int32_t seeds[] = {1, 2, -3, 400, 0x7FFFFFFF, 99};
    std::vector<std::unique_ptr<map_columns>> expected;
    for (int i = 0; i < 6; ++i) expected.push_back(columns_of(seeds[i], i % 2 == 1));

    constexpr int THREADS = 4;
    std::vector<std::vector<std::string>> differences(THREADS);
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t)
        threads.emplace_back([&, t] {
            auto out = std::make_unique<map_columns>();
            auto work = std::make_unique<map_workspace>();
            for (int k = 0; k < 6; ++k) {
                const int i = (k + t) % 6;
                if (t % 2) generate_map_columns(seeds[i], i % 2 == 1, *out, *work);
                else generate_map_columns(seeds[i], i % 2 == 1, *out);
                differences[t].push_back(first_difference(*expected[i], *out));
            }
        });
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < THREADS; ++t)
        for (int k = 0; k < 6; ++k) EXPECT_EQ(differences[t][k], "") << "thread " << t << ", map " << (k + t) % 6;
}
