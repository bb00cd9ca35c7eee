#include "terrain/terrain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "numerics/rng.h"
#include "volume/volume.h"

TEST(ColumnHeight, TruncatesTowardZeroRaisesNegativesAndHasNoCap) {
    const struct {
        float h;
        std::int32_t expected;
    } cases[] = {{0.99f, 0}, {-0.99f, 0}, {-1.5f, 0}, {-40, 0}, {5.9f, 5}, {5, 5}, {62.99f, 62}, {63, 63}, {70.2f, 70}};
    for (const auto& c : cases) EXPECT_EQ(column_height_of(c.h), c.expected) << "h = " << c.h;
}

TEST(SolidColumns, EveryColumnIsSolidFromTheBottomUpToItsHeight) {
    clear_volume();
    const float heights[] = {0.99f, -1.5f, 5.9f, 62.5f, 70.2f};
    for (std::size_t c = 0; c < COLUMN_COUNT; ++c) height_field[c] = heights[c % 5];
    fill_solid_columns(volume_terrain_fields(), solid_map);
    const int solid_voxels[] = {1, 1, 6, 63, 64};
    for (std::size_t c = 0; c < 10; ++c) {
        const std::uint8_t* column = solid_map + c * MAP_DEPTH;
        const int solid = static_cast<int>(std::count(column, column + MAP_DEPTH, 1));
        EXPECT_EQ(solid, solid_voxels[c % 5]) << "h = " << heights[c % 5];
        // no gap: the solid voxels are the lowest ones
        EXPECT_TRUE(std::all_of(column, column + solid, [](std::uint8_t v) { return v == 1; }));
        EXPECT_EQ(column_height[c], std::max(0, static_cast<int>(heights[c % 5])));
    }
    clear_volume();
}

TEST(GenerateTerrain, DrawsExactlyTwentyFourValues) {
    for (std::uint32_t seed : {1u, 0xDEADBEEFu}) {
        rng_seed(seed);
        for (int i = 0; i < 24; ++i) rng_next();
        const std::uint32_t draw25 = rng_next();
        rng_seed(seed);
        generate_terrain();
        EXPECT_EQ(rng_next(), draw25) << "seed " << seed;
    }
    clear_volume();
}

TEST(GenerateTerrain, LeftoversInTheScratchFieldDoNotShowAndTheSpareFieldIsLeftAlone) {
    // The ring table is made in noise_field_a before the first noise layer
    // overwrites it, and nothing uses noise_field_b any more: whatever the two held
    // before, the terrain is the same, and noise_field_b keeps what it held.
    for (const std::uint32_t seed : {1u, 0xDEADBEEFu}) {
        clear_volume();
        rng_seed(seed);
        generate_terrain();
        const std::vector<float> heights(height_field, height_field + COLUMN_COUNT);
        const std::vector<std::int32_t> columns(column_height, column_height + COLUMN_COUNT);
        std::fill_n(noise_field_a, COLUMN_COUNT, std::numeric_limits<float>::quiet_NaN());
        std::fill_n(noise_field_b, COLUMN_COUNT, -3.25f);
        rng_seed(seed);
        generate_terrain();
        EXPECT_EQ(std::memcmp(height_field, heights.data(), heights.size() * sizeof(float)), 0) << "seed " << seed;
        EXPECT_TRUE(std::equal(columns.begin(), columns.end(), column_height)) << "seed " << seed;
        EXPECT_TRUE(std::all_of(noise_field_b, noise_field_b + COLUMN_COUNT, [](float v) { return v == -3.25f; }))
            << "seed " << seed;
    }
    clear_volume();
}

TEST(GenerateTerrain, SeedOneGivesTheKnownColumns) {
    clear_volume();
    rng_seed(1);
    generate_terrain();
    std::int32_t* const end = column_height + COLUMN_COUNT;
    EXPECT_EQ(std::count(column_height, end, 0), 2624);
    EXPECT_EQ(*std::max_element(column_height, end), 26);
    const struct {
        int x, y;
        std::int32_t height;
        std::uint32_t colour;
    } cases[] = {{100, 200, 4, 0x80717D53}, {0, 0, 25, 0x80BFBFBF}, {256, 256, 0, 0x8083A8BB}};
    for (const auto& c : cases) {
        const std::size_t col = column_index(c.x, c.y);
        EXPECT_EQ(column_height[col], c.height) << c.x << ", " << c.y;
        const std::uint32_t* colours = color_map + col * MAP_DEPTH;
        const std::uint8_t* solid = solid_map + col * MAP_DEPTH;
        EXPECT_EQ(colours[0], c.colour) << c.x << ", " << c.y;
        EXPECT_EQ(std::count(colours, colours + MAP_DEPTH, colours[0]), MAP_DEPTH) << c.x << ", " << c.y;
        EXPECT_EQ(std::count(solid, solid + c.height + 1, 1), c.height + 1) << c.x << ", " << c.y;
        EXPECT_EQ(std::count(solid, solid + MAP_DEPTH, 1), c.height + 1) << c.x << ", " << c.y;
    }
    clear_volume();
}

TEST(SolidColumns, WholeMapAgreesWithVoxelByVoxel) {
    // Heights around every point where a column's voxel count changes, far below
    // the floor and far above the top.
    clear_volume();
    std::mt19937 random(777);
    std::uniform_real_distribution<float> height(-70, 140);
    std::vector<std::uint8_t> plain(VOXEL_COUNT);
    std::vector<std::int32_t> plain_heights(COLUMN_COUNT);
    for (int round = 0; round < 2; ++round) {
        for (std::size_t c = 0; c < COLUMN_COUNT; ++c) {
            const float near_integer = static_cast<float>(int(c % 131) - 2) + (round == 0 ? 0.0f : -0.25f);
            height_field[c] = c % 2 ? height(random) : near_integer;
        }
        fill_solid_columns_plain(volume_terrain_fields(), solid_map);
        std::copy(solid_map, solid_map + VOXEL_COUNT, plain.begin());
        std::copy(column_height, column_height + COLUMN_COUNT, plain_heights.begin());
        std::fill_n(solid_map, VOXEL_COUNT, 7);
        std::fill_n(column_height, COLUMN_COUNT, -1);
        fill_solid_columns(volume_terrain_fields(), solid_map);
        ASSERT_EQ(std::memcmp(plain.data(), solid_map, VOXEL_COUNT), 0) << "round " << round;
        ASSERT_EQ(std::memcmp(plain_heights.data(), column_height, COLUMN_COUNT * 4), 0) << "round " << round;
        // Column heights alone, without the voxels.
        std::fill_n(column_height, COLUMN_COUNT, -1);
        fill_column_heights(volume_terrain_fields());
        ASSERT_EQ(std::memcmp(plain_heights.data(), column_height, COLUMN_COUNT * 4), 0) << "round " << round;
    }
    clear_volume();
}
