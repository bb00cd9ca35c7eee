#include "mapfile/column_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "mapfile/vxl_fast_encoder.h"
#include "mapfile/vxl_writer_reference.h"
#include "numerics/rng.h"
#include "platform/vector_path.h"
#include "terrain/map.h"
#include "volume/volume.h"

namespace {

using bytes = std::vector<std::uint8_t>;

struct columns {
    std::vector<std::int32_t> heights = std::vector<std::int32_t>(COLUMN_COUNT);
    std::vector<std::uint32_t> colours = std::vector<std::uint32_t>(COLUMN_COUNT);
    std::int32_t& height(int x, int y) { return heights[column_index(x, y)]; }
};

// The encoder's bytes on one vector path, through an exact buffer with a guard
// behind it.
bytes encode_on(vector_path path, const columns& c, vxl_file_rows rows) {
    const vector_path before = chosen_vector_path();
    pin_vector_path(path);
    const std::size_t size = vxl_columns_size(column_heights(c.heights.data(), COLUMN_COUNT), rows);
    bytes out(size + 16, 0xEE);
    const std::size_t written = encode_vxl_columns(column_heights(c.heights.data(), COLUMN_COUNT),
                                                   column_colours(c.colours.data(), COLUMN_COUNT),
                                                   std::span(out.data(), size), rows);
    pin_vector_path(before);
    EXPECT_EQ(written, size) << "the size is the bytes written";
    EXPECT_EQ(std::count(out.begin() + std::ptrdiff_t(size), out.end(), 0xEE), 16) << "nothing beyond the buffer";
    out.resize(size);
    return out;
}

// The encoder's bytes, the same on every vector path this processor can run.
bytes encode(const columns& c, vxl_file_rows rows = {}) {
    const bytes baseline = encode_on(vector_path::baseline, c, rows);
    for (const vector_path path : {vector_path::avx2, vector_path::avx512})
        if (vector_path_supported(path)) {
            EXPECT_TRUE(encode_on(path, c, rows) == baseline) << vector_path_name(path) << " differs from baseline";
        }
    return baseline;
}

// The reference: the volume the generator makes of these columns (solid from z = 0
// to the height, one colour in all 64 voxels), through the run's writer, or with
// plain also through the voxel-by-voxel one, which must agree.
bytes volume_file(const columns& c, bool plain) {
    clear_volume();
    for (std::size_t i = 0; i < COLUMN_COUNT; ++i) {
        // z <= height; a negative height is raised to 0
        const std::int64_t solid = std::clamp<std::int64_t>(std::int64_t{c.heights[i]} + 1, 1, MAP_DEPTH);
        std::memset(solid_map + i * MAP_DEPTH, 1, std::size_t(solid));
        std::fill_n(color_map + i * MAP_DEPTH, MAP_DEPTH, c.colours[i]);
    }
    const vxl_file_image image = encode_vxl_map_fast();
    bytes file(image.bytes.get(), image.bytes.get() + image.size);
    if (plain) {
        flip_volume();
        bytes slow;
        encode_vxl_map(slow);
        EXPECT_TRUE(slow == file) << "the two writers differ";
    }
    clear_volume();
    return file;
}

// The columns of the map generated from seed, as the volume holds them.
columns generated(std::uint32_t seed, bool regions, void (*generate)()) {
    clear_volume();
    debug_regions = regions ? 1 : 0;
    rng_seed(seed);
    generate();
    columns c;
    std::copy_n(column_height, COLUMN_COUNT, c.heights.begin());
    for (std::size_t i = 0; i < COLUMN_COUNT; ++i) c.colours[i] = color_map[i * MAP_DEPTH];
    clear_volume();
    return c;
}

void expect_same_file(const bytes& got, const bytes& want) {
    ASSERT_EQ(got.size(), want.size());
    if (got == want) return;
    const auto differ = std::mismatch(got.begin(), got.end(), want.begin());
    EXPECT_EQ(differ.first, got.end()) << "first difference at byte " << (differ.first - got.begin());
}

// The record of column x in the bytes of file row y, walking the single-span
// records before it.
bytes record(const bytes& row, int x) {
    std::size_t at = 0;
    auto length = [&] { return 4 + 4 * std::size_t(std::uint8_t(row[at + 2] - row[at + 1] + 1)); };
    for (int i = 0; i < x; ++i) at += length();
    return bytes(row.begin() + std::ptrdiff_t(at), row.begin() + std::ptrdiff_t(at + length()));
}

TEST(ColumnEncoder, ColumnsGiveTheRecordsOfTheirExposedVoxels) {
    const std::uint32_t C = 0x80A1B2C3;
    const bytes one_colour = {0xC3, 0xB2, 0xA1, 0x80};
    const struct {
        const char* what;
        int x, y;
        std::int32_t around, height;  // the other columns, the column itself
        int nx, ny;                   // a neighbour given its own height, or the column itself
        std::int32_t neighbour;
        std::uint8_t top_start, top_end;
    } cases[] = {
        {"level ground", 100, 200, 5, 5, 100, 200, 5, 0x3A, 0x3A},
        {"air beside, three voxels down", 100, 200, 5, 5, 99, 200, 2, 0x3A, 0x3C},
        {"a neighbour above exposes nothing", 100, 200, 5, 5, 100, 201, 40, 0x3A, 0x3A},
        {"a floor column", 300, 17, 0, 0, 300, 17, 0, 0x3F, 0x3F},
        {"solid to the top among the same: the hidden top voxel", 7, 9, 63, 63, 7, 9, 63, 0x00, 0x00},
        {"all solid, no upper limit, beside a floor column", 250, 250, 70, INT_MAX, 250, 251, 0, 0x00, 0x3E},
        {"the map's outer sides are no surface", 0, 0, 30, 30, 0, 0, 30, 0x21, 0x21},
        {"nor at the far corner", 511, 511, 30, 30, 511, 511, 30, 0x21, 0x21},
        {"the neighbours inside the map count", 0, 300, 30, 30, 1, 300, 25, 0x21, 0x25},
        {"64 is all solid like 63", 40, 480, 64, 64, 40, 481, 61, 0x00, 0x01},
        {"a negative height counts as 0", 40, 15, 3, -7, 41, 15, 3, 0x3F, 0x3F},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        columns map;
        std::fill(map.heights.begin(), map.heights.end(), c.around);
        std::fill(map.colours.begin(), map.colours.end(), C);
        map.height(c.x, c.y) = c.height;
        map.height(c.nx, c.ny) = c.neighbour;
        bytes want = {0, c.top_start, c.top_end, 0};
        for (int i = c.top_start; i <= c.top_end; ++i) want.insert(want.end(), one_colour.begin(), one_colour.end());
        EXPECT_EQ(record(encode(map, {c.y, c.y + 1}), c.x), want);
    }
}

// Random fields that meet every case: heights that jump by any amount, the
// levels around the all-solid column (62, 63, 64, huge), heights that a loader
// narrowing without saturation would wrap (256, 65536) and negative ones, which
// count as 0 as the generator raises them, plateaus whose equal
// neighbours expose nothing, cliffs at their borders, and the map's edges. Every
// colour has four different bytes, so a word from the wrong column or in the
// wrong byte order shows.
columns random_field(int kind, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const std::int32_t extremes[] = {0,   1,     2,     61,    62,    63,  64,      65,
                                     256, 32767, 32768, 65536, 1000, -1, INT_MIN, INT_MAX};
    columns c;
    const int block = 1 + int(random() % 9);
    for (int x = 0; x < MAP_SIZE; ++x)
        for (int y = 0; y < MAP_SIZE; ++y) {
            std::int32_t& h = c.height(x, y);
            switch (kind) {
                case 0: h = std::int32_t(random() % 80); break;
                case 1: h = extremes[random() % std::size(extremes)]; break;
                case 2: h = std::int32_t((x / block * 37 + y / block * 11 + seed) % 68); break;  // plateaus
                case 3: h = 20 + (x + 2 * y) % 30 + std::int32_t(random() % 3); break;            // slopes
                default: h = random() % 50 == 0 ? extremes[random() % std::size(extremes)] : 3;  // spikes, pits
            }
            c.colours[column_index(x, y)] = std::uint32_t(random()) | 0x01010101u;
        }
    return c;
}

TEST(ColumnEncoder, RandomFieldsGiveTheWritersBytes) {
    // The most irregular kinds twice; the plateaus also through the plain writer.
    const struct {
        int kind;
        std::uint64_t seed;
    } fields[] = {{0, 1}, {0, 2}, {1, 1}, {1, 2}, {2, 1}, {3, 1}, {4, 1}};
    for (const auto& f : fields) {
        SCOPED_TRACE(testing::Message() << "kind " << f.kind << " seed " << f.seed);
        const columns c = random_field(f.kind, f.seed);
        expect_same_file(encode(c), volume_file(c, f.kind == 2));
    }
}

TEST(ColumnEncoder, GeneratedMapsGiveTheWritersBytes) {
    const struct {
        std::uint32_t seed;
        bool regions, plain_generator;
    } maps[] = {{1, false, false},           {1, true, false},           {2, false, false},
                {42, true, false},           {0x80000000u, false, false}, {0x7FFFFFFFu, true, false},
                {987654321, false, false},   {5, true, true}};
    for (const auto& m : maps) {
        SCOPED_TRACE(testing::Message() << "seed " << std::int32_t(m.seed) << (m.regions ? " -d" : "")
                                        << (m.plain_generator ? " plain" : ""));
        const columns c = generated(m.seed, m.regions, m.plain_generator ? generate_map_plain : generate_map);
        const bytes file = encode(c);
        expect_same_file(file, volume_file(c, m.plain_generator));  // the plain generator, the plain writer
        if (m.seed == 1) {
            EXPECT_EQ(file.size(), 2097536u);
        }
    }
}

TEST(ColumnEncoder, FileRowsPieceByPieceMakeTheWholeFile) {
    const columns c = random_field(0, 9);
    const bytes whole = encode(c);
    // Pieces that start and end inside a band of rows, on its borders and at the
    // map's edges; rows beyond the map are not part of it.
    const vxl_file_rows pieces[] = {{-5, 1}, {1, 15}, {15, 16}, {16, 17}, {17, 40}, {40, 300}, {300, 511}, {511, 600}};
    bytes joined;
    for (const vxl_file_rows& rows : pieces) {
        const bytes piece = encode(c, rows);
        joined.insert(joined.end(), piece.begin(), piece.end());
    }
    expect_same_file(joined, whole);
    EXPECT_TRUE(encode(c, {512, 600}).empty());
    EXPECT_TRUE(encode(c, {300, 200}).empty());
}

TEST(ColumnEncoder, ABufferTooSmallGetsNothingBeyondIt) {
    const columns c = random_field(1, 3);
    const column_heights heights(c.heights.data(), COLUMN_COUNT);
    const column_colours colours(c.colours.data(), COLUMN_COUNT);
    const std::size_t size = vxl_columns_size(heights);
    const vector_path before = chosen_vector_path();
    for (const vector_path path : {vector_path::baseline, vector_path::avx2, vector_path::avx512}) {
        if (!pin_vector_path(path)) continue;
        for (const std::size_t room : {size - 1, size / 2, std::size_t{4}, std::size_t{0}}) {
            bytes out(size, 0xEE);
            EXPECT_EQ(encode_vxl_columns(heights, colours, std::span(out.data(), room)), 0u)
                << vector_path_name(path) << " " << room;
            EXPECT_TRUE(std::all_of(out.begin() + std::ptrdiff_t(room), out.end(),
                                    [](std::uint8_t b) { return b == 0xEE; }))
                << vector_path_name(path) << " " << room;
        }
    }
    pin_vector_path(before);
}

}  // namespace
