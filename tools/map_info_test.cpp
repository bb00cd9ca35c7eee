#include "tools/map_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tools/decoded_test_map.h"

namespace {

map_info info_of(const vxl_bytes& image) { return summarize_map(decoded(image)); }

TEST(MapInfo, AllAirMapHasNoSurface) {
    const map_info info = info_of(vxl_image());
    EXPECT_EQ(info.bytes, VXL_AIR_MAP_BYTES);
    EXPECT_EQ(info.columns, VXL_RECORD_COUNT);
    EXPECT_EQ(info.empty_columns, VXL_RECORD_COUNT);
    EXPECT_EQ(info.floor_columns, 0u);
    EXPECT_EQ(info.solid_voxels, 0u);
    EXPECT_EQ(info.distinct_colours, 0u);
    EXPECT_EQ(info.surface_min, -1);
    EXPECT_EQ(info.surface_max, -1);
}

TEST(MapInfo, CountsSurfaceHeightsFloorAndColours) {
    vxl_bytes image = vxl_image({
        // height 23: solid from z 40 down, the floor included
        {0, vxl_record({vxl_span(0, 40, 40, 0, {GREEN})})},
        // height 0: the bottom voxel only
        {1, vxl_record({vxl_span(0, 63, 63, 0, {RED})})},
        // a floating block at z 10..20 over air: no floor, height 53
        {2, vxl_record({vxl_span(3, 10, 10, 0, {GREEN, RED}), vxl_span(0, 64, 63, 21)})},
    });
    image.push_back(0xEE);
    const map_info info = info_of(image);
    EXPECT_EQ(info.trailing_bytes, 1u);
    EXPECT_EQ(info.record_bytes, image.size() - 1);
    EXPECT_EQ(info.empty_columns, VXL_RECORD_COUNT - 3);
    EXPECT_EQ(info.floor_columns, 1u);  // only the column of height 0
    EXPECT_EQ(info.surface_min, 0);
    EXPECT_EQ(info.surface_max, 53);
    EXPECT_EQ(info.solid_voxels, 24u + 1u + 11u);
    EXPECT_EQ(info.coloured_voxels, 4u);
    EXPECT_EQ(info.distinct_colours, 2u);
    EXPECT_EQ(info.spans, VXL_RECORD_COUNT + 1);
}

// Against sorting and dropping repeats: words in one shade group and in many, with
// the same low 24 bits under different top bytes (different words), repeats,
// and the bitmap's edges (0, 0xFFFFFF, a group's first and last bit of a word).
TEST(MapInfo, DistinctWordsAreThoseOfASortedCopy) {
    const auto sorted_distinct = [](std::vector<std::uint32_t> w) {
        std::sort(w.begin(), w.end());
        return std::size_t(std::unique(w.begin(), w.end()) - w.begin());
    };
    EXPECT_EQ(count_distinct_words({}), 0u);
    const std::vector<std::uint32_t> edges = {0, 0xFFFFFF, 0x80000000, 0x80FFFFFF, 0xFF000000, 0xFFFFFFFF,
                                              0x8000003F, 0x80000040, 0x0000003F, 0x80000000, 0};
    EXPECT_EQ(count_distinct_words(edges), sorted_distinct(edges));
    std::mt19937 random(7);
    for (const std::uint32_t top_mask : {0x00u, 0x01u, 0xFFu}) {
        for (const std::uint32_t low_mask : {0xFFu, 0xFFFFu, 0xFFFFFFu}) {
            std::vector<std::uint32_t> words(50000);
            for (std::uint32_t& w : words) w = (0x80u ^ (random() & top_mask)) << 24 | (random() & low_mask);
            EXPECT_EQ(count_distinct_words(words), sorted_distinct(words)) << top_mask << " " << low_mask;
        }
    }
}

}  // namespace
