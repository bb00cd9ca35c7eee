#include "terrain/map.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "numerics/rng.h"
#include "volume/volume.h"

namespace {

constexpr std::uint32_t BLUE = 0x806060FF;
constexpr std::uint32_t GREEN = 0x8030D030;

struct volume_copy {
    std::vector<std::uint8_t> solid;
    std::vector<std::uint32_t> colour;
};

volume_copy generate(std::uint32_t seed, bool regions) {
    clear_volume();
    debug_regions = regions ? 1 : 0;
    rng_seed(seed);
    generate_map();
    volume_copy v{{solid_map, solid_map + VOXEL_COUNT}, {color_map, color_map + VOXEL_COUNT}};
    clear_volume();
    return v;
}

std::uint32_t column_word(const volume_copy& v, int x, int y, int z = 0) {
    return v.colour[column_index(x, y) * MAP_DEPTH + z];
}

}  // namespace

TEST(GenerateMap, MarkingRepaintsOnlyTheOutlinesAndKeepsTheVoxels) {
    const volume_copy plain = generate(5, false);
    const volume_copy marked = generate(5, true);
    EXPECT_TRUE(plain.solid == marked.solid);

    // Without marking, neither marking colour occurs.
    for (std::uint32_t w : plain.colour) {
        ASSERT_NE(w, BLUE);
        ASSERT_NE(w, GREEN);
    }

    const struct {
        int x, y;
        std::uint32_t colour;  // 0: left as generated
    } columns[] = {
        {128, 200, BLUE},  {128, 128, BLUE},  {128, 383, BLUE}, {16, 128, BLUE},  {16, 384, BLUE},
        {127, 384, BLUE},  {128, 384, 0},     {15, 128, 0},     {128, 127, 0},    {129, 200, 0},
        {384, 384, GREEN}, {495, 128, GREEN}, {384, 128, GREEN}, {384, 250, GREEN}, {495, 384, GREEN},
        {496, 128, 0},     {383, 200, 0},     {384, 385, 0},
    };
    for (const auto& c : columns)
        for (int z = 0; z < MAP_DEPTH; ++z)
            ASSERT_EQ(column_word(marked, c.x, c.y, z), c.colour ? c.colour : column_word(plain, c.x, c.y, z))
                << c.x << ", " << c.y << ", " << z;

    // Exactly the 480 blue and 479 green outline columns differ, every word of them.
    int blue = 0, green = 0, other = 0;
    for (std::size_t v = 0; v < VOXEL_COUNT; ++v) {
        if (marked.colour[v] == plain.colour[v]) continue;
        if (marked.colour[v] == BLUE) ++blue;
        else if (marked.colour[v] == GREEN) ++green;
        else ++other;
    }
    EXPECT_EQ(blue, 480 * MAP_DEPTH);
    EXPECT_EQ(green, 479 * MAP_DEPTH);
    EXPECT_EQ(other, 0);
}

TEST(GenerateMap, RowByRowFinishGivesTheSameVolumeInAnyRowOrder) {
    // shape_map and then finish_map_row for every row, as the run does it (rows in
    // order) and in a scrambled order: the same volume as generate_map, with and
    // without the start regions, whose outlines cross rows and run along them.
    std::vector<std::uint8_t> solid(VOXEL_COUNT);
    std::vector<std::uint32_t> colour(VOXEL_COUNT);
    std::vector<int> rows(MAP_SIZE);
    for (bool regions : {false, true}) {
        debug_regions = regions;
        rng_seed(77);
        generate_map();
        std::copy(solid_map, solid_map + VOXEL_COUNT, solid.begin());
        std::copy(color_map, color_map + VOXEL_COUNT, colour.begin());
        for (bool scrambled : {false, true}) {
            for (int x = 0; x < MAP_SIZE; ++x) rows[x] = scrambled ? (x * 167 + 11) % MAP_SIZE : x;
            std::fill_n(solid_map, VOXEL_COUNT, 0xA5);
            std::fill_n(color_map, VOXEL_COUNT, 0xA5A5A5A5u);
            rng_seed(77);
            shape_map();
            for (int x : rows) finish_map_row(x);
            ASSERT_EQ(std::memcmp(solid.data(), solid_map, VOXEL_COUNT), 0) << (regions ? "-d" : "") << scrambled;
            ASSERT_EQ(std::memcmp(colour.data(), color_map, VOXEL_COUNT * 4), 0) << (regions ? "-d" : "") << scrambled;
        }
    }
    clear_volume();
}

TEST(GenerateMap, SameVolumeAsThePlainStagesForManySeeds) {
    // The whole generator, fast stages against plain ones, with and without the
    // start regions: every voxel's solidity and colour. The volume is scrambled
    // before the fast run, so a voxel it leaves unwritten shows.
    std::vector<std::uint8_t> solid(VOXEL_COUNT);
    std::vector<std::uint32_t> colour(VOXEL_COUNT);
    for (std::uint32_t seed : {1u, 0xFFFFFFFFu, 0x9E3779B9u}) {
        for (bool regions : {false, true}) {
            debug_regions = regions;
            rng_seed(seed);
            generate_map_plain();
            std::copy(solid_map, solid_map + VOXEL_COUNT, solid.begin());
            std::copy(color_map, color_map + VOXEL_COUNT, colour.begin());
            std::fill_n(solid_map, VOXEL_COUNT, 0xA5);
            std::fill_n(color_map, VOXEL_COUNT, 0xA5A5A5A5u);
            rng_seed(seed);
            generate_map();
            ASSERT_EQ(std::memcmp(solid.data(), solid_map, VOXEL_COUNT), 0) << "seed " << seed << (regions ? " -d" : "");
            ASSERT_EQ(std::memcmp(colour.data(), color_map, VOXEL_COUNT * 4), 0)
                << "seed " << seed << (regions ? " -d" : "");
        }
    }
    clear_volume();
}
