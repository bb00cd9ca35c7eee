#include "tools/map_diff.h"

#include <gtest/gtest.h>

#include "tools/decoded_test_map.h"

namespace {

map_difference diff(const vxl_bytes& a, const vxl_bytes& b, std::size_t keep = 10) {
    return diff_vxl_maps(a.data(), a.size(), b.data(), b.size(), keep);
}

// Column (5, 2): air above z 40, solid from 40 down, coloured at 40.
const vxl_bytes HILL = vxl_record({vxl_span(0, 40, 40, 0, {GREEN})});
constexpr std::size_t HILL_AT = vxl_record_number(5, 2);

TEST(MapDiff, MapsHoldingTheSameVoxelsAreTheSameWhateverTheirBytes) {
    const vxl_bytes a = vxl_image({{HILL_AT, HILL}});
    vxl_bytes b = a;
    b.insert(b.end(), {1, 2, 3});  // trailing bytes do not count
    EXPECT_EQ(diff(a, b).voxels, 0u);
    // The same column as two spans: an empty-bottom span ending at 41, then the rest.
    const vxl_bytes split =
        vxl_image({{HILL_AT, vxl_record({vxl_span(2, 40, 40, 0, {GREEN}), vxl_span(0, 41, 40, 41)})}});
    const map_difference d = diff(a, split);
    EXPECT_EQ(d.voxels, 0u);
    EXPECT_EQ(d.columns, 0u);
}

TEST(MapDiff, EachKindOfDifferenceIsFoundAndDescribed) {
    const vxl_bytes a = vxl_image({{HILL_AT, HILL}});
    const struct {
        const char* name;
        vxl_bytes record;
        bool solid_b, coloured_b;
        std::uint32_t colour_b;
        int z;               // the first differing voxel, described by the fields above
        std::size_t voxels;  // how many differ
    } cases[] = {
        {"another colour", vxl_record({vxl_span(0, 40, 40, 0, {RED})}), true, true, RED, 40, 1},
        {"colour in A only", vxl_record({vxl_span(0, 40, 39, 0)}), true, false, 0, 40, 1},
        // z 39 turns solid and coloured, and z 40 below it loses its colour
        {"one more solid voxel", vxl_record({vxl_span(0, 39, 39, 0, {GREEN})}), true, true, GREEN, 39, 2},
        {"air where A is solid", vxl_record({vxl_span(0, 41, 41, 0, {GREEN})}), false, false, 0, 40, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const vxl_bytes b = vxl_image({{HILL_AT, c.record}});
        const map_difference d = diff(a, b);
        EXPECT_EQ(d.voxels, c.voxels);
        EXPECT_EQ(d.columns, 1u);
        ASSERT_FALSE(d.first.empty());
        const voxel_difference& v = d.first[0];
        EXPECT_EQ(v.x, 5);
        EXPECT_EQ(v.y, 2);
        EXPECT_EQ(v.z, c.z);
        EXPECT_EQ(v.solid_b, c.solid_b);
        EXPECT_EQ(v.coloured_b, c.coloured_b);
        EXPECT_EQ(v.colour_b, c.colour_b);
    }
}

TEST(MapDiff, CountsEveryDifferenceButKeepsOnlyTheFirstInFileOrder) {
    const vxl_bytes bottom = vxl_record({vxl_span(0, 63, 63, 0, {GREEN})});
    const vxl_bytes a = vxl_image();
    const vxl_bytes b = vxl_image({{vxl_record_number(7, 3), bottom},
                                   {vxl_record_number(2, 3), bottom},
                                   {vxl_record_number(9, 0), bottom}});
    const map_difference d = diff(a, b, 2);
    EXPECT_EQ(d.voxels, 3u);
    EXPECT_EQ(d.columns, 3u);
    ASSERT_EQ(d.first.size(), 2u);
    EXPECT_EQ(d.first[0].x, 9);
    EXPECT_EQ(d.first[0].y, 0);
    EXPECT_EQ(d.first[1].x, 2);
    EXPECT_EQ(d.first[1].y, 3);
    EXPECT_FALSE(d.first[1].solid_a);
    EXPECT_TRUE(d.first[1].solid_b);
}

}  // namespace
