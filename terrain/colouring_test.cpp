#include "terrain/colouring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "terrain/vector_paths_test.h"
#include "volume/volume.h"

namespace {

struct colour_case {
    float h, h_prev_x, h_prev_y;
    std::int32_t column_height;
    std::uint32_t expected;
    const char* what;
};

// Flat, sloped and floor columns with their known colours.
const colour_case WORKED[] = {
    {4, 4, 4, 4, 0x807B8959, "flat, h <= 4: th 0, ts 0, m 0.86"},
    {1.5f, 1.5f, 1.5f, 1, 0x807B8959, "flat, h <= 4"},
    {24, 24, 24, 24, 0x80BDBDBD, "flat, h >= 24"},
    {40, 40, 40, 40, 0x80BDBDBD, "flat, h >= 24"},
    {14, 14, 14, 14, 0x809CA38B, "flat, th 0.5"},
    {5, 4, 5, 5, 0x807E8371, "x-neighbour below: lit"},
    {5, 6, 5, 5, 0x8032342D, "x-neighbour above: shaded"},
    {5, 5, 4, 5, 0x80585B4F, "y-neighbour below"},
    {10, 12, 10, 10, 0x80242424, "q clamped to 0, m = 0.3"},
    {10, 8, 10, 10, 0x806F6F6F, "steep, toward the light"},
    {10, 9.25f, 10, 10, 0x80939C7D, "facing the light (gx 0.75): q 1, the largest multiplier"},
    {3, 2.25f, 3, 3, 0x8088936B, "facing the light, th 0"},
    {30, 29.2f, 30.1f, 30, 0x80B6B6B6, "nearly facing the light, th 1"},
    {-0.5f, -0.5f, -0.5f, 0, 0x8082AAC8, "floor, deepest tint"},
    {-3, -3, -3, 0, 0x8082AAC8, "floor, k clamped to 1"},
    {0.5f, 0.5f, 0.5f, 0, 0x8086A6A8, "floor"},
    {2.5f, 2.5f, 2.5f, 0, 0x8090A068, "floor, k 0"},
    {0.5f, 9, -7, 0, 0x8086A6A8, "floor ignores slope"},
};

// Heights found by search so that the named mistake changes the colour word.
const colour_case ROUNDING[] = {
    {5.93672991f, 5.93672991f, 5.93672991f, 5, 0x807D8A5C, "height scale 0.05 as double"},
    {7.20885706f, 7.20885706f, 7.20885706f, 7, 0x80808D60, "(h - 4) * 0.05f not rounded"},
    {5.35550976f, 5.35550976f, 5.35550976f, 5, 0x807C895A, "th not rounded"},
    {2.44f, 0.44f, 4.44f, 2, 0x805B5B5B, "gx not rounded"},
    {1.00f, 0.60f, 0.20f, 1, 0x806F755D, "gy rounded"},
    {2.07f, -0.24f, 1.66f, 2, 0x806C6C6C, "s2 not rounded"},
    {18.04f, 17.63f, 17.16f, 18, 0x807B7C79, "s2 * 0.625 not rounded"},
    {7.02f, 5.98f, 7.74f, 7, 0x806E6E6E, "ts not rounded"},
    {22.36f, 20.36f, 20.36f, 22, 0x805B5B5B, "light x 0.6f instead of the double"},
    {20.79f, 21.15f, 20.84f, 20, 0x8091918E, "light z 0.8f instead of the double"},
    {11.85f, 11.10f, 11.85f, 11, 0x809AA187, "light weight 0.7 as double / ambient 0.3f"},
    {10, 9.99984932f, 10, 10, 0x8088936E, "slope fade as red0 * (1 - ts) + 120 * ts"},
    {0.75f, 0.75f, -0.73f, 0, 0x8087A5A0, "floor 1/3 as float"},
};

void expect_colours(const colour_case* begin, const colour_case* end) {
    for (const colour_case* c = begin; c != end; ++c)
        EXPECT_EQ(column_colour(c->h, c->h_prev_x, c->h_prev_y, c->column_height), c->expected)
            << std::hex << "h " << c->h << " x-1 " << c->h_prev_x << " y-1 " << c->h_prev_y << ": " << c->what;
}

}  // namespace

TEST(Smoothstep, ClampsOutsideZeroToOne) {
    EXPECT_EQ(smoothstep01(-0.25f), 0.0);
    EXPECT_EQ(smoothstep01(0.0f), 0.0);
    EXPECT_EQ(smoothstep01(0.5f), 0.5);
    EXPECT_EQ(smoothstep01(0.625f), 0.68359375);
    EXPECT_EQ(smoothstep01(1.0f), 1.0);
    EXPECT_EQ(smoothstep01(7.0f), 1.0);
    // 3 * (t * t) - 2 * ((t * t) * t), not t * t * (3 - 2 * t): the last bit differs here.
    EXPECT_EQ(smoothstep01(0.038f), 0x1.14b5b248c58e6p-8);
}

TEST(ColumnColour, WorkedExamples) { expect_colours(std::begin(WORKED), std::end(WORKED)); }

TEST(ColumnColour, EveryRoundingPointAndConstantShows) { expect_colours(std::begin(ROUNDING), std::end(ROUNDING)); }

TEST(ColourColumns, NeighboursWrapAroundAndAllWordsOfAColumnAreEqual) {
    clear_volume();
    for (std::size_t c = 0; c < COLUMN_COUNT; ++c) {
        height_field[c] = 5;
        column_height[c] = 5;
    }
    // Column x = 0 takes its slope from x = 511, y = 0 from y = 511.
    height_field[column_index(511, 7)] = 4;
    height_field[column_index(9, 511)] = 4;
    height_field[column_index(300, 300)] = -0.5f;
    column_height[column_index(300, 300)] = 0;
    colour_columns(volume_terrain_fields(), color_map);

    auto colours_of = [](int x, int y) {
        const std::uint32_t* column = color_map + column_index(x, y) * MAP_DEPTH;
        for (int z = 1; z < MAP_DEPTH; ++z) EXPECT_EQ(column[z], column[0]) << x << ", " << y << ", " << z;
        return column[0];
    };
    EXPECT_EQ(colours_of(0, 7), 0x807E8371u);   // x-neighbour (511, 7) one lower
    EXPECT_EQ(colours_of(9, 0), 0x80585B4Fu);   // y-neighbour (9, 511) one lower
    EXPECT_EQ(colours_of(300, 300), 0x8082AAC8u);
    EXPECT_EQ(colours_of(301, 300), column_colour(5, -0.5f, 5, 5));
    EXPECT_EQ(colours_of(200, 200), 0x807B8959u);
    clear_volume();
}

TEST(ColourColumns, WholeMapGivesEveryKnownColourWhereverTheColumnStands) {
    // Each case three times: at x = 0 (x-neighbour across the wrap), at y = 0
    // (y-neighbour across the wrap, first lane of a vector) and inside the map,
    // at varying lanes; the cells of different cases are apart. On every path.
    clear_volume();
    std::vector<colour_case> cases(std::begin(WORKED), std::end(WORKED));
    cases.insert(cases.end(), std::begin(ROUNDING), std::end(ROUNDING));
    auto place = [](const colour_case& c, int x, int y) {
        height_field[column_index(x, y)] = c.h;
        column_height[column_index(x, y)] = c.column_height;
        height_field[column_index((x + 511) % 512, y)] = c.h_prev_x;
        height_field[column_index(x, (y + 511) % 512)] = c.h_prev_y;
    };
    const auto spots = [](int i) {
        const int d = 10 * i + 5;
        return std::array<std::pair<int, int>, 3>{{{0, d}, {d, 0}, {d, d + 3}}};
    };
    for (int i = 0; i < int(cases.size()); ++i)
        for (auto [x, y] : spots(i)) place(cases[i], x, y);
    std::vector<std::uint32_t> words(COLUMN_COUNT);
    for (vector_path path : supported_paths()) {
        colour_columns_with(volume_terrain_fields(), color_map, path);
        colour_column_words_with(volume_terrain_fields(), words.data(), path);
        for (int i = 0; i < int(cases.size()); ++i)
            for (auto [x, y] : spots(i)) {
                EXPECT_EQ(color_map[column_index(x, y) * MAP_DEPTH + 63], cases[i].expected)
                    << std::hex << vector_path_name(path) << " (" << x << ", " << y << "): " << cases[i].what;
                EXPECT_EQ(words[column_index(x, y)], cases[i].expected)
                    << std::hex << vector_path_name(path) << " word (" << x << ", " << y << "): " << cases[i].what;
            }
    }
    clear_volume();
}

TEST(ColourColumns, WholeMapAgreesWithOneColumnAtATime) {
    // Random fields of several kinds: gentle and steep slopes, floor and raised
    // columns side by side, heights around the ends of the height and floor ramps,
    // on quarter steps (ties for the truncations), out of range, and of any exponent
    // from the subnormals to 2^60 (where a difference or a product of floats taken
    // in float arithmetic shows, unless it is exact). Column heights come from the
    // heights before a random offset, as in the generator, or at random.
    struct field_kind {
        float lo, hi;     // heights uniform in lo..hi
        float step;       // 0, or heights rounded to multiples of it
        bool any_height;  // column_height at random instead of from the height
        bool any_exponent = false;  // heights lo..hi times 2^-149..2^60 instead
    };
    const field_kind kinds[] = {
        {-3, 30, 0, false},        {-1, 4, 0, false}, {-40, 100, 0, true}, {-2, 26, 0.25f, false},
        {0, 3, 0.5f, true},        {-1, 1, 0, true, true},
    };
    std::mt19937 random(12345);
    std::vector<std::uint32_t> plain(VOXEL_COUNT);
    for (const field_kind& kind : kinds) {
        std::uniform_real_distribution<float> height(kind.lo, kind.hi);
        std::uniform_real_distribution<float> offset(0, 2.5f);
        for (std::size_t c = 0; c < COLUMN_COUNT; ++c) {
            float h = height(random);
            if (kind.step != 0) h = std::round(h / kind.step) * kind.step;
            if (kind.any_exponent) h = std::ldexp(h, int(random() % 210) - 149);
            column_height[c] = kind.any_height ? static_cast<std::int32_t>(random() % 3) * 20 : std::max(0, int(h));
            height_field[c] = kind.any_height ? h : h + offset(random);
        }
        colour_columns_plain(volume_terrain_fields(), color_map);
        std::copy(color_map, color_map + VOXEL_COUNT, plain.begin());
        // One word per column: the word of the column's voxels.
        std::vector<std::uint32_t> words(COLUMN_COUNT);
        for (std::size_t c = 0; c < COLUMN_COUNT; ++c) words[c] = plain[c * MAP_DEPTH];
        std::vector<std::uint32_t> plain_words(COLUMN_COUNT, 0xA5A5A5A5u);
        colour_column_words_plain(volume_terrain_fields(), plain_words.data());
        ASSERT_EQ(plain_words, words) << "heights " << kind.lo << ".." << kind.hi;
        for (vector_path path : supported_paths()) {
            std::fill_n(color_map, VOXEL_COUNT, 0u);
            colour_columns_with(volume_terrain_fields(), color_map, path);
            ASSERT_EQ(std::memcmp(plain.data(), color_map, VOXEL_COUNT * 4), 0)
                << vector_path_name(path) << ", heights " << kind.lo << ".." << kind.hi;
            std::vector<std::uint32_t> fast_words(COLUMN_COUNT, 0xA5A5A5A5u);
            colour_column_words_with(volume_terrain_fields(), fast_words.data(), path);
            ASSERT_EQ(fast_words, words) << vector_path_name(path) << " words, heights " << kind.lo << ".." << kind.hi;
        }
    }
    clear_volume();
}

TEST(ColourColumns, EveryMixOfFloorAndRaisedColumnsInAVectorOnEveryPath) {
    // Kernels colour several columns per step and skip the floor or the raised
    // colours where a step has none of them: each of the 256 mixes of eight
    // neighbouring columns (every mix of four within them), at every step of a
    // row, the first across the wrap, with slopes that differ from lane to lane.
    clear_volume();
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < MAP_SIZE; ++y) {
            const int mix = (x % 4) * 64 + y / 8, lane = y % 8;
            const bool floor = (mix >> lane & 1) != 0;
            const float h = floor ? 0.25f * float(lane) - 0.5f : 6.0f + 1.75f * float(lane) + 0.125f * float(x);
            height_field[column_index(x, y)] = h;
            column_height[column_index(x, y)] = floor ? 0 : static_cast<std::int32_t>(h);
        }
    std::vector<std::uint32_t> plain(COLUMN_COUNT), fast(COLUMN_COUNT);
    colour_column_words_plain(volume_terrain_fields(), plain.data());
    for (vector_path path : supported_paths()) {
        colour_column_words_with(volume_terrain_fields(), fast.data(), path);
        for (int c = 0; c < 8 * MAP_SIZE; ++c)
            ASSERT_EQ(fast[c], plain[c]) << std::hex << vector_path_name(path) << " path, column (" << std::dec
                                         << c / MAP_SIZE << ", " << c % MAP_SIZE << ")";
    }
    clear_volume();
}
