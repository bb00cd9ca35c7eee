#include "mapfile/vxl_fast_encoder.h"
#include "mapfile/vxl_fast_encoder_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "mapfile/vxl_writer_reference.h"
#include "numerics/rng.h"
#include "terrain/map.h"
#include "volume/volume.h"

namespace {

using bytes = std::vector<std::uint8_t>;

// Every voxel gets a colour of its own, all four bytes varying, so that a colour
// from the wrong voxel or in the wrong byte order shows.
std::uint32_t colour_of(std::size_t voxel) { return std::uint32_t(voxel * 2654435761u) ^ 0x5A00A5FFu; }

// Sets column (x, y) from a mask (bit z = voxel z as stored).
void set_column(int x, int y, std::uint64_t solid) {
    for (int z = 0; z < MAP_DEPTH; ++z) solid_map[voxel_index(x, y, z)] = (solid >> z & 1) ? 1 : 0;
}

void paint_column(int x, int y) {
    for (int z = 0; z < MAP_DEPTH; ++z) color_map[voxel_index(x, y, z)] = colour_of(voxel_index(x, y, z));
}

std::uint64_t bits(int from, int to) {  // z in [from, to)
    std::uint64_t m = 0;
    for (int z = from; z < to; ++z) m |= std::uint64_t{1} << z;
    return m;
}

// A random neighbour: ground of some height, random voxels, full or empty.
std::uint64_t random_neighbour(std::mt19937_64& random) {
    switch (random() % 5) {
        case 0: return bits(int(random() % 65), 64);
        case 1: return random();
        case 2: return random() | random();
        case 3: return ~std::uint64_t{0};
        default: return 0;
    }
}

bytes plain_record(int x, int y) {
    bytes out;
    encode_vxl_column(x, y, out);
    return out;
}

bytes fast_record(int x, int y) {
    bytes out{0xEE};  // appends after what is there
    encode_vxl_column_fast(x, y, out);
    return bytes(out.begin() + 1, out.end());
}

class VxlFastEncoder : public ::testing::Test {
  protected:
    void SetUp() override { clear_volume(); }
    void TearDown() override { clear_volume(); }
};

TEST_F(VxlFastEncoder, AgreesWithThePlainEncoderOnEveryPatternOfAWindow) {
    // Every 14-bit pattern in a window at the top (the hidden z = 0 case), the middle
    // and the bottom (the probe to z = 63), over air or ground, with random
    // neighbours that expose voxels from the side.
    constexpr int X = 100, Y = 200;
    std::mt19937_64 random(7);
    constexpr int WIDTH = 14;
    const int windows[] = {0, 16, 33, 64 - WIDTH};
    std::size_t largest = 0;
    paint_column(X, Y);
    for (int window : windows)
        for (std::uint64_t pattern = 0; pattern < std::uint64_t{1} << WIDTH; ++pattern) {
            const std::uint64_t ground = random() & 1 ? bits(window + WIDTH, 64) : 0;
            set_column(X, Y, pattern << window | ground);
            set_column(X - 1, Y, random_neighbour(random));
            set_column(X + 1, Y, random_neighbour(random));
            set_column(X, Y - 1, random_neighbour(random));
            set_column(X, Y + 1, random_neighbour(random));
            const bytes plain = plain_record(X, Y);
            ASSERT_EQ(fast_record(X, Y), plain) << "window " << window << " pattern " << pattern;
            largest = std::max(largest, plain.size());
        }
    EXPECT_LE(largest, VXL_MAX_RECORD_BYTES);
}

TEST_F(VxlFastEncoder, AgreesAtTheMapEdgesAndCorners) {
    // Beyond the edge there is no neighbour: it must not expose anything.
    const int places[][2] = {{0, 0}, {511, 511}, {0, 511}, {511, 0}, {0, 300}, {511, 77}, {300, 0}, {77, 511}};
    std::mt19937_64 random(11);
    for (const auto& p : places)
        for (int round = 0; round < 2000; ++round) {
            const int x = p[0], y = p[1];
            if (round == 0) paint_column(x, y);
            set_column(x, y, random_neighbour(random));
            if (x > 0) set_column(x - 1, y, random_neighbour(random));
            if (x < 511) set_column(x + 1, y, random_neighbour(random));
            if (y > 0) set_column(x, y - 1, random_neighbour(random));
            if (y < 511) set_column(x, y + 1, random_neighbour(random));
            ASSERT_EQ(fast_record(x, y), plain_record(x, y)) << x << "," << y << " round " << round;
        }
}

TEST_F(VxlFastEncoder, ColumnsNearTheLargestRecordStayWithinTheBound) {
    // Many short spans, every solid voxel exposed: the records that come closest to
    // the largest a column can have.
    constexpr int X = 300, Y = 300;
    const std::uint64_t columns[] = {~std::uint64_t{0}, 0x5555555555555555u, 0xAAAAAAAAAAAAAAAAu,
                                     0x6DB6DB6DB6DB6DB6u, 0xFFFFFFFFFFFFFFFEu, 0x7FFFFFFFFFFFFFFFu};
    const std::uint64_t sides[] = {0, 0x5555555555555555u, 0xAAAAAAAAAAAAAAAAu, 0x3333333333333333u};
    paint_column(X, Y);
    for (std::uint64_t column : columns)
        for (std::uint64_t side : sides) {
            set_column(X, Y, column);
            set_column(X - 1, Y, side);
            set_column(X + 1, Y, ~std::uint64_t{0});
            set_column(X, Y - 1, ~std::uint64_t{0});
            set_column(X, Y + 1, ~std::uint64_t{0});
            const bytes plain = plain_record(X, Y);
            EXPECT_LE(plain.size(), VXL_MAX_RECORD_BYTES);
            EXPECT_EQ(fast_record(X, Y), plain) << std::hex << column << " beside " << side;
        }
    set_column(X, Y, ~std::uint64_t{0});
    set_column(X - 1, Y, 0);
    EXPECT_EQ(plain_record(X, Y).size(), 4u + 64 * 4) << "a fully exposed column: one span, 64 colours";
}

// ---- whole volumes

// A volume in generator orientation (z = 0 lowest) made of 64 x 64 tiles of eight
// kinds, so that every kind meets the others and the map's edges.
void build_volume(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    constexpr int TILE = 64;
    for (int tx = 0; tx < MAP_SIZE / TILE; ++tx)
        for (int ty = 0; ty < MAP_SIZE / TILE; ++ty) {
            const int kind = int((tx * 3 + ty * 5 + seed) % 8);
            // Caves and floating blocks as boxes inside the tile.
            struct box {
                int x0, y0, z0, x1, y1, z1;
            };
            std::vector<box> boxes;
            for (int i = 0; i < 12; ++i) {
                const int x0 = int(random() % TILE), y0 = int(random() % TILE), z0 = int(random() % 60);
                boxes.push_back({x0, y0, z0, x0 + 1 + int(random() % 12), y0 + 1 + int(random() % 12),
                                 z0 + 1 + int(random() % 8)});
            }
            const int density = int(random() % 100);
            for (int lx = 0; lx < TILE; ++lx)
                for (int ly = 0; ly < TILE; ++ly) {
                    const int x = tx * TILE + lx, y = ty * TILE + ly;
                    // Ground of a smoothly varying height, roughened a little.
                    const int ground = 8 + (lx * 7 + ly * 3) % 23 + int(random() % 3);
                    std::uint64_t column = 0;
                    switch (kind) {
                        case 0: column = bits(0, ground + 1); break;   // terrain
                        case 1:                                        // terrain with caves
                        case 2: column = bits(0, ground + 1); break;   // terrain with floating blocks
                        case 3: column = bits(0, 64); break;           // solid to the top layer
                        case 4: column = 0; break;                     // empty
                        case 5: column = random() % 100 < unsigned(density) ? random() : random() & random(); break;
                        case 6: column = (lx + ly) % 2 ? bits(0, 64) : bits(0, ground + 1); break;  // checkerboard
                        default: column = bits(0, ground + 1) | bits(60, 64); break;  // a roof over hollows
                    }
                    for (const box& b : boxes) {
                        if (lx < b.x0 || lx >= b.x1 || ly < b.y0 || ly >= b.y1) continue;
                        const std::uint64_t span = bits(b.z0, std::min(b.z1, 64));
                        if (kind == 2 || kind == 4) column |= span;  // floating blocks, overhangs
                        else column &= ~span;                        // caves
                    }
                    for (int z = 0; z < MAP_DEPTH; ++z) {
                        const std::size_t v = voxel_index(x, y, z);
                        solid_map[v] = (column >> z & 1) ? std::uint8_t(1 + v % 3) : 0;  // any non-zero is solid
                        color_map[v] = colour_of(v);
                    }
                }
        }
}

std::uint64_t volume_hash() {
    std::uint64_t h = 1469598103934665603u;
    for (std::size_t i = 0; i < VOXEL_COUNT; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, solid_map + i, 8);
        h = (h ^ w) * 1099511628211u;
    }
    for (std::size_t i = 0; i < VOXEL_COUNT; i += 2) {
        std::uint64_t w;
        std::memcpy(&w, color_map + i, 8);
        h = (h ^ w) * 1099511628211u;
    }
    return h;
}

TEST_F(VxlFastEncoder, AWholeVolumeGivesThePlainEncodersBytesAndStaysAsItWas) {
    build_volume(1);
    const std::uint64_t generated = volume_hash();

    flip_volume();
    bytes plain;
    encode_vxl_map(plain);
    flip_volume_fast();
    ASSERT_EQ(volume_hash(), generated) << "the fast flip undoes the flip";

    const vxl_file_image image = encode_vxl_map_fast();
    ASSERT_EQ(image.size, plain.size());
    const auto mismatch = std::mismatch(plain.begin(), plain.end(), image.bytes.get());
    EXPECT_EQ(mismatch.first, plain.end()) << "first difference at byte " << (mismatch.first - plain.begin());
    EXPECT_EQ(volume_hash(), generated) << "the volume is read, not changed";
}

TEST_F(VxlFastEncoder, LentMemoryHoldsWhatFitsAndTheBytesStayTheSame) {
    build_volume(2);
    flip_volume();
    bytes plain;
    encode_vxl_map(plain);
    flip_volume();
    const std::size_t tables = 514 * 544;  // the top bytes, with their guards

    // Room for the tables and the file exactly; one byte less; room for the tables
    // only; room for nothing. Whatever was in the lent memory does not matter.
    for (const std::size_t lent : {tables + plain.size(), tables + plain.size() - 1, tables, tables - 1}) {
        SCOPED_TRACE(testing::Message() << lent << " bytes lent");
        std::vector<std::uint8_t> scratch(lent, 0xEE);
        const vxl_file_image image = encode_vxl_map_fast(scratch);
        ASSERT_TRUE(image.bytes);
        ASSERT_EQ(image.size, plain.size());
        EXPECT_TRUE(std::equal(plain.begin(), plain.end(), image.bytes.get()));
        const bool in_scratch = image.bytes.get() >= scratch.data() && image.bytes.get() < scratch.data() + lent;
        EXPECT_EQ(in_scratch, lent == tables + plain.size()) << "the file goes where it fits, and only there";
    }
}

TEST_F(VxlFastEncoder, GeneratedMapsGiveThePlainEncodersBytes) {
    // Maps as the run makes them, with and without the start regions (the golden
    // maps of the end-to-end tests check many more seeds through the same writer).
    const struct {
        std::uint32_t seed;
        std::int32_t regions;
    } maps[] = {{1, 1}, {987654321, 0}};
    for (const auto& m : maps) {
        SCOPED_TRACE(testing::Message() << "seed " << m.seed << (m.regions ? " with regions" : ""));
        clear_volume();
        debug_regions = m.regions;
        rng_seed(m.seed);
        generate_map();

        flip_volume();
        bytes plain;
        encode_vxl_map(plain);
        flip_volume();

        const vxl_file_image image = encode_vxl_map_fast();
        ASSERT_EQ(image.size, plain.size());
        EXPECT_TRUE(std::equal(plain.begin(), plain.end(), image.bytes.get()));
    }
}

}  // namespace
