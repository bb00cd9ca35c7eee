#include "tools/map_render.h"

#include <gtest/gtest.h>

#include "tools/decoded_test_map.h"

namespace {

/// The pixel at (px, py) as 0xRRGGBB.
std::uint32_t pixel(const rgb_image& image, int px, int py) {
    const std::uint8_t* p = &image.rgb[(std::size_t(py) * std::size_t(image.width) + std::size_t(px)) * 3];
    return std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
}

/// The record of a column solid from z (its surface) down, coloured at z.
vxl_bytes ground(int z, std::uint32_t colour) {
    return vxl_record({vxl_span(0, std::uint8_t(z), std::uint8_t(z), 0, {colour})});
}

TEST(TopView, FlatGroundShowsItsColourUnshaded) {
    const rgb_image image = render_top_view(decoded(vxl_image_from([](std::size_t) { return ground(50, GREEN); })));
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
    const rgb_image top = render_top_view(decoded(image));
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
    const decoded_map map = decoded(image);
    EXPECT_EQ(shown_colour(map, map_entry(1, 1), 0), 0x80808080u) << "no colour in the column: grey";
    EXPECT_EQ(shown_colour(map, map_entry(2, 1), 0), RED) << "nearest below";
    EXPECT_EQ(shown_colour(map, map_entry(2, 1), 9), RED) << "nearest above";
}

TEST(IsoView, ColumnsStandWhereTheProjectionPutsThem) {
    const rgb_image empty = render_iso_view(decoded(vxl_image()));
    ASSERT_EQ(empty.width, 1024);
    ASSERT_EQ(empty.height, 512 + 64 * ISO_VOXEL_HEIGHT);
    const std::uint32_t sky = pixel(empty, 0, 0);
    for (int py = 0; py < empty.height; py += 7)
        for (int px = 0; px < empty.width; px += 5) ASSERT_EQ(pixel(empty, px, py), sky);

    // A lone voxel at the top of column (100, 40): its top face at picture column
    // 100 - 40 + 511 and row (100 + 40) / 2, lit on top, darker on its sides.
    const vxl_bytes image =
        vxl_image({{vxl_record_number(100, 40), vxl_record({vxl_span(2, 0, 0, 0, {GREEN}), vxl_span(0, 64, 63, 1)})}});
    const rgb_image iso = render_iso_view(decoded(image));
    const int px = 100 - 40 + 511, py = (100 + 40) / 2;
    EXPECT_EQ(pixel(iso, px, py), 0x30D030u);
    EXPECT_EQ(pixel(iso, px + 1, py), 0x30D030u);
    const std::uint32_t left = pixel(iso, px, py + 1), right = pixel(iso, px + 1, py + 1);
    EXPECT_LT(left >> 8 & 0xFF, 0xD0u);
    EXPECT_LT(right >> 8 & 0xFF, left >> 8 & 0xFF) << "the +x face is the darker one";
    EXPECT_EQ(pixel(iso, px, py + ISO_VOXEL_HEIGHT + 1), sky);
    EXPECT_EQ(pixel(iso, px - 1, py), sky);
}

/// A picture from rows of 0xRRGGBB pixels.
rgb_image picture(const std::vector<std::vector<std::uint32_t>>& rows) {
    rgb_image image;
    image.height = int(rows.size());
    image.width = int(rows[0].size());
    for (const auto& row : rows)
        for (std::uint32_t p : row)
            for (int shift : {16, 8, 0}) image.rgb.push_back(std::uint8_t(p >> shift));
    return image;
}

std::vector<std::vector<std::uint32_t>> pixels_of(const rgb_image& image) {
    std::vector<std::vector<std::uint32_t>> rows(std::size_t(image.height));
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) rows[std::size_t(y)].push_back(pixel(image, x, y));
    return rows;
}

constexpr std::uint8_t MARGIN[3] = {0x01, 0x02, 0x03};
constexpr std::uint32_t M = 0x010203;

TEST(FitSquare, EachPixelIsTheExactAverageOfTheAreaItCovers) {
    const struct {
        const char* what;
        std::vector<std::vector<std::uint32_t>> in;
        int size;
        std::vector<std::vector<std::uint32_t>> out;
    } cases[] = {
        {"same size is a copy", {{0x102030, 0x405060}, {0x708090, 0xA0B0C0}}, 2,
         {{0x102030, 0x405060}, {0x708090, 0xA0B0C0}}},
        {"2 x 2 blocks become pixels",
         {{0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF}, {0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF},
          {0x00FF00, 0x00FF00, 0x000000, 0x000000}, {0x00FF00, 0x00FF00, 0x000000, 0x000000}},
         2, {{0xFF0000, 0x0000FF}, {0x00FF00, 0x000000}}},
        {"a checker averages to grey, halves rounded up", {{0xFFFFFF, 0}, {0, 0xFFFFFF}}, 1, {{0x808080}}},
        // Three pixels into two: each output pixel covers one and a half.
        {"fractional footprints",
         {{0x000000, 0x5A5A5A, 0xB4B4B4}, {0x000000, 0x5A5A5A, 0xB4B4B4}, {0x000000, 0x5A5A5A, 0xB4B4B4}}, 2,
         {{0x1E1E1E, 0x969696}, {0x1E1E1E, 0x969696}}},
        {"enlarging keeps whole pixels and blends the split one", {{0x000000, 0xC8C8C8}, {0x000000, 0xC8C8C8}}, 3,
         {{0x000000, 0x646464, 0xC8C8C8}, {0x000000, 0x646464, 0xC8C8C8}, {0x000000, 0x646464, 0xC8C8C8}}},
        {"a wide picture is centred between margins",
         {{0x101010, 0x101010, 0x303030, 0x303030}, {0x101010, 0x101010, 0x303030, 0x303030}}, 4,
         {{M, M, M, M},
          {0x101010, 0x101010, 0x303030, 0x303030},
          {0x101010, 0x101010, 0x303030, 0x303030},
          {M, M, M, M}}},
        {"a tall one too", {{0x404040}, {0x404040}, {0x404040}, {0x404040}}, 2, {{0x404040, M}, {0x404040, M}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(pixels_of(fit_square(picture(c.in), c.size, MARGIN)), c.out);
    }
}

TEST(FitSquare, ViewsBecomeThumbnailsOfTheAskedSize) {
    const decoded_map map =
        decoded(vxl_image_from([](std::size_t k) { return ground(20 + int(k % 7), k % 3 ? GREEN : RED); }));
    const rgb_image top = render_top_view(map), iso = render_iso_view(map);
    for (int size : {THUMBNAIL_MIN, 100, 512, 700}) {
        SCOPED_TRACE(size);
        const rgb_image a = fit_square(top, size, PREVIEW_SKY), b = fit_square(iso, size, PREVIEW_SKY);
        EXPECT_EQ(a.width, size);
        EXPECT_EQ(a.height, size);
        EXPECT_EQ(b.width, size);
        EXPECT_EQ(b.height, size);
        // The iso view keeps its shape: margins of sky above and below.
        EXPECT_EQ(pixel(b, size / 2, 0), 0x1C2430u);
        EXPECT_EQ(pixel(b, size / 2, size - 1), 0x1C2430u);
        // Averaging keeps the picture's mean colour, up to rounding.
        auto mean_green = [](const rgb_image& image) {
            double sum = 0;
            for (std::size_t i = 1; i < image.rgb.size(); i += 3) sum += image.rgb[i];
            return sum / double(image.width * image.height);
        };
        EXPECT_NEAR(mean_green(a), mean_green(top), 0.5);
    }
    EXPECT_EQ(fit_square(top, 512, PREVIEW_SKY).rgb, top.rgb);
}

TEST(ScaleImage, EveryPixelBecomesABlock) {
    const rgb_image scaled = scale_image(picture({{0x102030, 0x405060}}), 3);
    EXPECT_EQ(pixels_of(scaled), (std::vector<std::vector<std::uint32_t>>(
                                     3, {0x102030, 0x102030, 0x102030, 0x405060, 0x405060, 0x405060})));
    const rgb_image iso = render_iso_view(decoded(vxl_image()));
    EXPECT_EQ(scale_image(iso, 1).rgb, iso.rgb);
    const rgb_image big = scale_image(iso, SCALE_MAX);
    EXPECT_EQ(big.width, 1024 * SCALE_MAX);
    EXPECT_EQ(big.height, 640 * SCALE_MAX);
}

}  // namespace
