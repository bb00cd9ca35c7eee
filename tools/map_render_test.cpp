#include "tools/map_render.h"

#include <gtest/gtest.h>

#include "mapfile/vxl_test_image.h"

namespace {

constexpr std::uint32_t GREEN = 0x8030D030, RED = 0x80D03030;

DecodedMap decoded(const vxl_bytes& image) {
    DecodedMap map;
    std::string why;
    EXPECT_TRUE(decode_map(image.data(), image.size(), &map, &why)) << why;
    return map;
}

/// The pixel at (px, py) as 0xRRGGBB.
std::uint32_t pixel(const RgbImage& image, int px, int py) {
    const std::uint8_t* p = &image.rgb[(std::size_t(py) * std::size_t(image.width) + std::size_t(px)) * 3];
    return std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
}

/// The record of a column solid from z (its surface) down, coloured at z.
vxl_bytes ground(int z, std::uint32_t colour) {
    return vxl_record({vxl_span(0, std::uint8_t(z), std::uint8_t(z), 0, {colour})});
}

TEST(TopView, FlatGroundShowsItsColourUnshaded) {
    const RgbImage image = render_top_view(decoded(vxl_image_from([](std::size_t) { return ground(50, GREEN); })));
    ASSERT_EQ(image.width, 512);
    ASSERT_EQ(image.height, 512);
    EXPECT_EQ(pixel(image, 0, 0), 0x30D030u);
    EXPECT_EQ(pixel(image, 511, 511), 0x30D030u);
    EXPECT_EQ(pixel(image, 200, 17), 0x30D030u);
}

TEST(TopView, PixelsStandForColumnsAndReliefChangesTheLight) {
    // Column (20, 10) rises two voxels above the flat ground at 50: lit on its own
    // pixel, and its neighbours at +x and +y fall into its shade. All-air
    // columns are black.
    const vxl_bytes image = vxl_image_from([](std::size_t k) {
        if (k == vxl_record_number(20, 10)) return ground(48, RED);
        if (k == vxl_record_number(300, 400)) return vxl_bytes(VXL_AIR_COLUMN, VXL_AIR_COLUMN + 4);
        return ground(50, GREEN);
    });
    const RgbImage top = render_top_view(decoded(image));
    const std::uint32_t lit = pixel(top, 20, 10);
    EXPECT_GT(lit >> 16, 0xD0u) << std::hex << lit;  // red, brightened
    EXPECT_LT(pixel(top, 21, 10) >> 8 & 0xFF, 0xD0u) << "in the peak's shade";
    EXPECT_LT(pixel(top, 20, 11) >> 8 & 0xFF, 0xD0u) << "in the peak's shade";
    EXPECT_EQ(pixel(top, 19, 10), 0x30D030u);
    EXPECT_EQ(pixel(top, 300, 400), 0u);
}

TEST(TopView, TopVoxelWithoutColourBorrowsTheNearestColourInItsColumn) {
    // Solid from z 0 with only z 5 coloured (the top voxel is hidden).
    const vxl_bytes image = vxl_image({{vxl_record_number(1, 1), vxl_record({vxl_span(0, 0, 255, 0)})},
                                       {vxl_record_number(2, 1), vxl_record({vxl_span(1, 0, 255, 0),
                                                                             vxl_span(0, 5, 5, 5, {RED})})}});
    const DecodedMap map = decoded(image);
    EXPECT_EQ(shown_color(map, map_entry(1, 1), 0), 0x80808080u) << "no colour in the column: grey";
    EXPECT_EQ(shown_color(map, map_entry(2, 1), 0), RED) << "nearest below";
    EXPECT_EQ(shown_color(map, map_entry(2, 1), 9), RED) << "nearest above";
}

TEST(IsoView, ColumnsStandWhereTheProjectionPutsThem) {
    const RgbImage empty = render_iso_view(decoded(vxl_image()));
    ASSERT_EQ(empty.width, 1024);
    ASSERT_EQ(empty.height, 512 + 64 * ISO_VOXEL_HEIGHT);
    const std::uint32_t sky = pixel(empty, 0, 0);
    for (int py = 0; py < empty.height; py += 7)
        for (int px = 0; px < empty.width; px += 5) ASSERT_EQ(pixel(empty, px, py), sky);

    // A lone voxel at the top of column (100, 40): its top face at picture column
    // 100 - 40 + 511 and row (100 + 40) / 2, lit on top, darker on its sides.
    const vxl_bytes image =
        vxl_image({{vxl_record_number(100, 40), vxl_record({vxl_span(2, 0, 0, 0, {GREEN}), vxl_span(0, 64, 63, 1)})}});
    const RgbImage iso = render_iso_view(decoded(image));
    const int px = 100 - 40 + 511, py = (100 + 40) / 2;
    EXPECT_EQ(pixel(iso, px, py), 0x30D030u);
    EXPECT_EQ(pixel(iso, px + 1, py), 0x30D030u);
    const std::uint32_t left = pixel(iso, px, py + 1), right = pixel(iso, px + 1, py + 1);
    EXPECT_LT(left >> 8 & 0xFF, 0xD0u);
    EXPECT_LT(right >> 8 & 0xFF, left >> 8 & 0xFF) << "the +x face is the darker one";
    EXPECT_EQ(pixel(iso, px, py + ISO_VOXEL_HEIGHT + 1), sky);
    EXPECT_EQ(pixel(iso, px - 1, py), sky);
}

}  // namespace
