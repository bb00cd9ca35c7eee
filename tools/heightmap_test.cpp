#include "tools/heightmap.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>
#include <functional>

#include "mapfile/vxl_fast_encoder.h"
#include "mapfile/vxl_test_image.h"
#include "numerics/rng.h"
#include "terrain/map.h"
#include "volume/volume.h"
#include "tools/png_image.h"

namespace {

/// The VXL file of the volume as the generator leaves it.
std::vector<std::uint8_t> file_of_volume() {
    const vxl_file_image image = encode_vxl_map_fast();
    return std::vector<std::uint8_t>(image.bytes.get(), image.bytes.get() + image.size);
}

decoded_map decoded(const std::vector<std::uint8_t>& file) {
    decoded_map map;
    std::string why;
    EXPECT_TRUE(decode_map(file.data(), file.size(), &map, &why)) << why;
    return map;
}

/// A PNG made directly with libpng, of any type the format has: rows of
/// samples of bit_depth bits (1 to 16; 16-bit samples given as values), with an
/// optional palette and tRNS chunk.
struct png_layout {
    int colour_type;
    int bit_depth;
    bool interlaced = false;
    int width = 512, height = 512;
};

std::vector<std::uint8_t> make_png(const png_layout& layout, const std::function<std::vector<std::uint16_t>(int x, int y)>& pixel,
                                   const std::vector<png_color>& palette = {}, const std::vector<png_byte>& trns = {}) {
    struct png_sink {
        std::vector<std::uint8_t> bytes;
    } sink;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<std::vector<std::uint8_t>> rows(std::size_t(layout.height));
    const int samples = layout.colour_type == PNG_COLOR_TYPE_GRAY         ? 1
                        : layout.colour_type == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                        : layout.colour_type == PNG_COLOR_TYPE_RGB        ? 3
                        : layout.colour_type == PNG_COLOR_TYPE_RGB_ALPHA  ? 4
                                                                        : 1;
    for (int y = 0; y < layout.height; ++y) {
        // Pack samples of bit_depth bits, most significant first, as PNG does.
        std::vector<std::uint8_t>& row = rows[std::size_t(y)];
        row.assign((std::size_t(layout.width) * std::size_t(samples) * std::size_t(layout.bit_depth) + 7) / 8, 0);
        std::size_t bit = 0;
        for (int x = 0; x < layout.width; ++x)
            for (std::uint16_t v : pixel(x, y)) {
                if (layout.bit_depth == 16) {
                    row[bit / 8] = std::uint8_t(v >> 8), row[bit / 8 + 1] = std::uint8_t(v);
                } else if (layout.bit_depth == 8) {
                    row[bit / 8] = std::uint8_t(v);
                } else {
                    row[bit / 8] |= std::uint8_t(v << (8 - layout.bit_depth - bit % 8));
                }
                bit += std::size_t(layout.bit_depth);
            }
    }
    std::vector<png_bytep> pointers;
    for (auto& r : rows) pointers.push_back(r.data());
    if (setjmp(png_jmpbuf(png))) {
        ADD_FAILURE() << "libpng could not write the test picture";
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(
        png, &sink,
        [](png_structp p, png_bytep data, png_size_t size) {
            auto* s = static_cast<png_sink*>(png_get_io_ptr(p));
            s->bytes.insert(s->bytes.end(), data, data + size);
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(layout.width), png_uint_32(layout.height), layout.bit_depth, layout.colour_type,
                 layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
    if (!trns.empty()) png_set_tRNS(png, info, trns.data(), int(trns.size()), nullptr);
    png_write_info(png, info);
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return sink.bytes;
}

/// The height a test picture means at (x, y): a ramp over all 64 heights, air in one corner.
int ramp_height(int x, int y) { return x < 8 && y < 8 ? -1 : (x + 3 * y) % 64; }

TEST(Heightmap, GreyLevelsSpanTheWholeRangeAndReadBackToTheirHeight) {
    const int levels[][2] = {{0, 0}, {1, 4}, {11, 45}, {31, 125}, {32, 130}, {62, 251}, {63, 255}};
    for (const auto& [h, grey] : levels) EXPECT_EQ(height_to_grey(h), grey) << h;
    for (int h = 0; h < 64; ++h) {
        EXPECT_EQ(grey16_to_height(std::uint16_t(height_to_grey(h) * 257)), h) << "8-bit, height " << h;
        EXPECT_EQ(grey16_to_height(std::uint16_t((h * 65535 + 31) / 63)), h) << "16-bit, height " << h;
    }
    // Every grey an editor can paint means the nearest height, in order.
    int previous = 0;
    for (int g = 0; g < 256; ++g) {
        const int h = grey16_to_height(std::uint16_t(g * 257));
        EXPECT_LE(std::abs(h * 255 - g * 63), 255 / 2 + 1) << g;
        EXPECT_GE(h, previous);
        previous = h;
    }
    EXPECT_EQ(grey16_to_height(65535), 63);
}

class GeneratedHeightmap : public ::testing::TestWithParam<std::tuple<std::uint32_t, bool>> {
  protected:
    void TearDown() override { clear_volume(); }
};

TEST_P(GeneratedHeightmap, ExportThenImportGivesTheSameFileByteForByte) {
    const auto [seed, regions] = GetParam();
    clear_volume();
    debug_regions = regions;
    rng_seed(seed);
    generate_map();
    const std::vector<std::uint8_t> original = file_of_volume();

    surface_losses losses;
    const surface_maps surface = surface_of_map(decoded(original), &losses);
    EXPECT_EQ(losses.cave_columns, 0u);
    EXPECT_EQ(losses.multicolour_columns, 0u);
    EXPECT_EQ(losses.other_top_bytes, 0u);
    std::vector<std::uint8_t> heightmap, colours;
    std::string why;
    ASSERT_TRUE(encode_heightmap(surface, &heightmap, &why)) << why;
    ASSERT_TRUE(encode_colour_map(surface, &colours, &why)) << why;

    clear_volume();
    surface_maps read;
    bool had_colour = true;
    ASSERT_TRUE(decode_heightmap(heightmap.data(), heightmap.size(), &read, &had_colour, &why)) << why;
    ASSERT_TRUE(decode_colour_map(colours.data(), colours.size(), &read, &why)) << why;
    EXPECT_FALSE(had_colour);
    build_ground_volume(read);
    EXPECT_TRUE(file_of_volume() == original) << "seed " << seed << (regions ? " -d" : "");
}

INSTANTIATE_TEST_SUITE_P(Seeds, GeneratedHeightmap,
                         ::testing::Combine(::testing::Values(1u, 2u, 0xFFFFFFF9u, 123456u), ::testing::Bool()));

TEST(Heightmap, EveryKindOfPngMeansTheSameHeights) {
    // The ramp as each PNG type an editor may save; heights come from grey,
    // from luminance of grey-looking RGB, or through a palette, and air from
    // alpha or tRNS.
    auto grey8 = [](int x, int y) { const int h = ramp_height(x, y); return std::uint16_t(h < 0 ? 0 : height_to_grey(h)); };
    auto opaque8 = [](int x, int y) { return std::uint16_t(ramp_height(x, y) < 0 ? 0 : 255); };
    auto grey16 = [](int x, int y) { const int h = ramp_height(x, y); return std::uint16_t(h < 0 ? 0 : (h * 65535 + 31) / 63); };
    std::vector<png_color> palette;
    for (int h = 0; h < 64; ++h) {
        const auto g = height_to_grey(h);
        palette.push_back(png_color{g, g, g});
    }
    palette.push_back(png_color{0, 0, 0});  // entry 64: air, by tRNS
    std::vector<png_byte> palette_alpha(65, 255);
    palette_alpha[64] = 0;

    const struct {
        const char* name;
        std::vector<std::uint8_t> png;
        bool has_air;
    } cases[] = {
        {"grey 8", make_png({PNG_COLOR_TYPE_GRAY, 8}, [&](int x, int y) { return std::vector<std::uint16_t>{grey8(x, y)}; }), false},
        {"grey 8 interlaced", make_png({PNG_COLOR_TYPE_GRAY, 8, true}, [&](int x, int y) { return std::vector<std::uint16_t>{grey8(x, y)}; }), false},
        {"grey 16", make_png({PNG_COLOR_TYPE_GRAY, 16}, [&](int x, int y) { return std::vector<std::uint16_t>{grey16(x, y)}; }), false},
        {"grey + alpha 8", make_png({PNG_COLOR_TYPE_GRAY_ALPHA, 8}, [&](int x, int y) { return std::vector<std::uint16_t>{grey8(x, y), opaque8(x, y)}; }), true},
        {"grey + alpha 16", make_png({PNG_COLOR_TYPE_GRAY_ALPHA, 16}, [&](int x, int y) { return std::vector<std::uint16_t>{grey16(x, y), std::uint16_t(opaque8(x, y) * 257)}; }), true},
        {"RGB 8", make_png({PNG_COLOR_TYPE_RGB, 8}, [&](int x, int y) { const auto g = grey8(x, y); return std::vector<std::uint16_t>{g, g, g}; }), false},
        {"RGBA 16", make_png({PNG_COLOR_TYPE_RGB_ALPHA, 16}, [&](int x, int y) { const auto g = grey16(x, y); return std::vector<std::uint16_t>{g, g, g, std::uint16_t(opaque8(x, y) * 257)}; }), true},
        {"palette + tRNS", make_png({PNG_COLOR_TYPE_PALETTE, 8}, [&](int x, int y) { const int h = ramp_height(x, y); return std::vector<std::uint16_t>{std::uint16_t(h < 0 ? 64 : h)}; }, palette, palette_alpha), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        surface_maps surface;
        bool had_colour = true;
        std::string why;
        ASSERT_TRUE(decode_heightmap(c.png.data(), c.png.size(), &surface, &had_colour, &why)) << why;
        EXPECT_FALSE(had_colour);
        std::size_t wrong = 0;
        for (int y = 0; y < 512; ++y)
            for (int x = 0; x < 512; ++x) {
                const int want = ramp_height(x, y) < 0 && !c.has_air ? 0 : ramp_height(x, y);
                wrong += surface.height[map_entry(x, y)] != want;
            }
        EXPECT_EQ(wrong, 0u);
    }
}

/// The PNG chunk of type and data, its length and CRC-32 about it.
std::vector<std::uint8_t> png_chunk(const char* type, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> chunk(12 + data.size());
    const auto put_be32 = [&](std::size_t at, std::uint32_t v) {
        for (std::size_t i = 0; i < 4; ++i) chunk[at + i] = std::uint8_t(v >> (24 - 8 * i));
    };
    put_be32(0, std::uint32_t(data.size()));
    std::memcpy(&chunk[4], type, 4);
    std::copy(data.begin(), data.end(), chunk.begin() + 8);
    put_be32(8 + data.size(), std::uint32_t(crc32(0, &chunk[4], uInt(data.size() + 4))));
    return chunk;
}

TEST(Heightmap, TextChunksOfAnySizeLeaveThePixelsAsTheyAre) {
    // Compressed text of 8 MB a chunk, which libpng would inflate at some 10 ms
    // each, plain text, and international text, between the header and the rows.
    const auto plain = make_png({PNG_COLOR_TYPE_GRAY, 8}, [](int x, int y) {
        return std::vector<std::uint16_t>{std::uint16_t(height_to_grey(ramp_height(x, y) & 63))};
    });
    std::vector<std::uint8_t> zeros(8'000'000), packed(compressBound(uLong(zeros.size())));
    uLongf packed_size = uLongf(packed.size());
    ASSERT_EQ(compress2(packed.data(), &packed_size, zeros.data(), uLong(zeros.size()), 9), Z_OK);
    packed.resize(packed_size);
    std::vector<std::uint8_t> text;
    for (int i = 0; i < 16; ++i) {
        std::vector<std::uint8_t> data = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 0};  // keyword, method 0
        data.insert(data.end(), packed.begin(), packed.end());
        const auto chunk = png_chunk("zTXt", data);
        text.insert(text.end(), chunk.begin(), chunk.end());
    }
    for (const auto& chunk : {png_chunk("tEXt", {'T', 'i', 't', 'l', 'e', 0, 'v', 'a', 'l', 'e'}),
                              png_chunk("iTXt", {'T', 'i', 't', 'l', 'e', 0, 0, 0, 0, 0, 'v', 'a', 'l', 'e'})})
        text.insert(text.end(), chunk.begin(), chunk.end());
    std::vector<std::uint8_t> with_text(plain.begin(), plain.begin() + 33);  // the signature and IHDR
    with_text.insert(with_text.end(), text.begin(), text.end());
    with_text.insert(with_text.end(), plain.begin() + 33, plain.end());

    surface_maps want, got;
    bool had_colour = false;
    std::string why;
    ASSERT_TRUE(decode_heightmap(plain.data(), plain.size(), &want, &had_colour, &why)) << why;
    ASSERT_TRUE(decode_heightmap(with_text.data(), with_text.size(), &got, &had_colour, &why)) << why;
    EXPECT_EQ(got.height, want.height);
    ASSERT_TRUE(decode_colour_map(with_text.data(), with_text.size(), &got, &why)) << why;
}

TEST(Heightmap, OneBitGreyIsTheFloorAndTheTop) {
    const auto png = make_png({PNG_COLOR_TYPE_GRAY, 1}, [](int x, int) { return std::vector<std::uint16_t>{std::uint16_t(x & 1)}; });
    surface_maps surface;
    bool had_colour = false;
    std::string why;
    ASSERT_TRUE(decode_heightmap(png.data(), png.size(), &surface, &had_colour, &why)) << why;
    EXPECT_EQ(surface.height[map_entry(0, 9)], 0);
    EXPECT_EQ(surface.height[map_entry(1, 9)], 63);
}

TEST(Heightmap, ColourPictureIsReadByLuminanceAndSaysSo) {
    // Pure green is 71.5% luminance (Rec. 709): grey 182, height 45.
    const auto png = make_png({PNG_COLOR_TYPE_RGB, 8}, [](int, int) { return std::vector<std::uint16_t>{0, 255, 0}; });
    surface_maps surface;
    bool had_colour = false;
    std::string why;
    ASSERT_TRUE(decode_heightmap(png.data(), png.size(), &surface, &had_colour, &why)) << why;
    EXPECT_TRUE(had_colour);
    EXPECT_NEAR(surface.height[map_entry(100, 100)], 45, 1);
}

TEST(Heightmap, PicturesThatAreNotHeightmapsAreRefusedWithTheirReason) {
    const auto good = make_png({PNG_COLOR_TYPE_GRAY, 8}, [](int x, int) { return std::vector<std::uint16_t>{std::uint16_t(x & 255)}; });
    std::vector<std::uint8_t> cut(good.begin(), good.begin() + std::ptrdiff_t(good.size() / 2));
    std::vector<std::uint8_t> damaged = good;
    damaged[good.size() / 2] ^= 0xFF;  // inside the image data: its CRC fails
    const std::string text = "P5 512 512 255\n";
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* reason;
    } cases[] = {
        {"empty", {}, "not a PNG file"},
        {"a PGM picture", std::vector<std::uint8_t>(text.begin(), text.end()), "not a PNG file"},
        {"wider", make_png({PNG_COLOR_TYPE_GRAY, 8, false, 513, 512}, [](int, int) { return std::vector<std::uint16_t>{0}; }),
         "the picture is 513 x 512 pixels; it must be 512 x 512"},
        {"smaller", make_png({PNG_COLOR_TYPE_GRAY, 8, false, 256, 256}, [](int, int) { return std::vector<std::uint16_t>{0}; }),
         "the picture is 256 x 256 pixels; it must be 512 x 512"},
        {"cut short", cut, "the PNG file is cut short"},
        {"signature only", std::vector<std::uint8_t>(good.begin(), good.begin() + 8), "the PNG file is cut short"},
        {"damaged", damaged, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        surface_maps surface;
        bool had_colour = false;
        std::string why;
        EXPECT_FALSE(decode_heightmap(c.bytes.data(), c.bytes.size(), &surface, &had_colour, &why));
        if (*c.reason) {
            EXPECT_EQ(why, c.reason);
        }
        EXPECT_FALSE(why.empty());
        EXPECT_FALSE(decode_colour_map(c.bytes.data(), c.bytes.size(), &surface, &why));
    }
}

TEST(Heightmap, SurfaceKeepsTheTopAndCountsWhatItLeavesOut) {
    // Ground at file z 50 (height 13); column (3, 4) has a cave below its top,
    // (5, 6) two colours, (7, 8) is air, (9, 9) a top colour with top byte 0x40.
    constexpr std::uint32_t GREEN = 0x8030D030, RED = 0x80D03030;
    const vxl_bytes image = vxl_image_from([&](std::size_t k) {
        if (k == vxl_record_number(3, 4))
            return vxl_record({vxl_span(3, 40, 40, 0, {GREEN, GREEN}), vxl_span(0, 48, 48, 45, {GREEN})});
        if (k == vxl_record_number(5, 6)) return vxl_record({vxl_span(0, 40, 41, 0, {RED, GREEN})});
        if (k == vxl_record_number(7, 8)) return vxl_bytes(VXL_AIR_COLUMN, VXL_AIR_COLUMN + 4);
        if (k == vxl_record_number(9, 9)) return vxl_record({vxl_span(0, 50, 50, 0, {0x40123456})});
        return vxl_record({vxl_span(0, 50, 50, 0, {GREEN})});
    });
    surface_losses losses;
    const surface_maps surface = surface_of_map(decoded(image), &losses);
    EXPECT_EQ(losses.cave_columns, 1u);
    EXPECT_EQ(losses.multicolour_columns, 1u);
    EXPECT_EQ(losses.other_top_bytes, 1u);
    EXPECT_EQ(surface.height[map_entry(3, 4)], 23);
    EXPECT_EQ(surface.height[map_entry(5, 6)], 23);
    EXPECT_EQ(surface.colour[map_entry(5, 6)], 0xD03030u);
    EXPECT_EQ(surface.height[map_entry(7, 8)], -1);
    EXPECT_EQ(surface.height[map_entry(0, 0)], 13);
    EXPECT_EQ(surface.colour[map_entry(9, 9)], 0x123456u);

    // The map's air column comes back as air, through a grey + alpha PNG, and
    // without a colour map every column takes the default colour.
    std::vector<std::uint8_t> png;
    std::string why;
    ASSERT_TRUE(encode_heightmap(surface, &png, &why)) << why;
    surface_maps read;
    bool had_colour = false;
    ASSERT_TRUE(decode_heightmap(png.data(), png.size(), &read, &had_colour, &why)) << why;
    EXPECT_EQ(read.height, surface.height);
    build_ground_volume(read);
    for (int z = 0; z < 64; ++z) {
        EXPECT_EQ(solid_map[voxel_index(7, 8, z)], 0) << z;
        EXPECT_EQ(solid_map[voxel_index(3, 4, z)], z <= 23 ? 1 : 0) << z;
        EXPECT_EQ(color_map[voxel_index(3, 4, z)], HEIGHTMAP_DEFAULT_COLOUR);
    }
    clear_volume();
}

}  // namespace
