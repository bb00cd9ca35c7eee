// Maps written by the writer come back from the loader with the same solid voxels
// in the same places and the same colour on every voxel that touches air.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "mapfile/vxl_format.h"
#include "mapfile/vxl_loader.h"
#include "mapfile/vxl_writer.h"
#include "mapfile/vxl_writer_reference.h"
#include "numerics/rng.h"
#include "terrain/map.h"
#include "volume/volume.h"

namespace {

/// The colour word a load must leave alone on voxel i: no written map carries it
/// there, since the written colours are random.
std::uint32_t untouched_mark(std::size_t i) { return std::uint32_t(i * 0x9E3779B9u) ^ 0xA5A5A5A5u; }

void fill(int x, int y, int from, int to, std::uint8_t value) {
    std::memset(solid_map + voxel_index(x, y, from), value, std::size_t(to - from));
}

/// A random volume in file orientation: columns of stacked solid and air runs
/// (caves, overhangs, floating blocks), all-air and all-solid columns scattered
/// and in patches (so the top layer has hidden voxels), solid rows along the map's
/// edges, and a random colour word on every voxel.
void build_random_volume(std::uint32_t seed) {
    std::mt19937 rng(seed);
    for (int x = 0; x < MAP_SIZE; ++x)
        for (int y = 0; y < MAP_SIZE; ++y) {
            const unsigned kind = rng() % 100;
            if (kind < 4) {
                fill(x, y, 0, 64, 0);
            } else if (kind < 8) {
                fill(x, y, 0, 64, 1);
            } else {
                int z = int(rng() % 48);
                fill(x, y, 0, z, 0);
                bool is_solid = true;
                while (z < 64) {
                    const int run = std::min(64 - z, 1 + int(rng() % (is_solid ? 24 : 8)));
                    fill(x, y, z, z + run, is_solid);
                    z += run;
                    is_solid = !is_solid;
                }
            }
        }
    for (int x = 200; x < 230; ++x)
        for (int y = 300; y < 330; ++y) fill(x, y, 0, 64, 1);
    for (int i = 0; i < MAP_SIZE; i += 3) {
        fill(0, i, 0, 64, 1);
        fill(MAP_SIZE - 1, i, 10, 64, 1);
        fill(i, 0, 20, 64, 1);
        fill(i, MAP_SIZE - 1, 0, 40, 1);
    }
    for (std::size_t i = 0; i < VOXEL_COUNT; ++i) color_map[i] = rng();
}

/// Encodes the volume as it stands (file orientation), scrambles the volume so that
/// a voxel the load does not set shows, loads the image back and checks: the same
/// solid voxels everywhere, the written colour on every voxel that has a colour
/// record, which are exactly the exposed voxels (and a hidden solid voxel at z = 0
/// that opens a column's first span), and every other colour word untouched.
/// Returns the number of such hidden top voxels.
std::size_t expect_round_trip() {
    std::vector<std::uint8_t> image;
    encode_vxl_map(image);
    const std::vector<std::uint8_t> solid_before(solid_map, solid_map + VOXEL_COUNT);
    const std::vector<std::uint32_t> colour_before(color_map, color_map + VOXEL_COUNT);

    std::memset(solid_map, 2, VOXEL_COUNT);
    for (std::size_t i = 0; i < VOXEL_COUNT; ++i) color_map[i] = untouched_mark(i);
    std::vector<std::uint64_t> coloured(COLUMN_COUNT);
    const vxl_load_result result = parse_vxl_map(image.data(), image.size(), coloured.data());
    EXPECT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(result.trailing_bytes, 0u);

    std::size_t solid_count = 0, hidden_top = 0;
    for (int x = 0; x < MAP_SIZE; ++x)
        for (int y = 0; y < MAP_SIZE; ++y)
            for (int z = 0; z < MAP_DEPTH; ++z) {
                const std::size_t i = voxel_index(x, y, z);
                if (solid_map[i] != (solid_before[i] ? 1 : 0)) {
                    ADD_FAILURE() << "solid differs at " << x << "," << y << "," << z;
                    return hidden_top;
                }
                solid_count += solid_map[i];
                const bool exposed = is_exposed(x, y, z);
                const bool hidden_first = z == 0 && solid_map[i] && !exposed;
                hidden_top += hidden_first;
                const bool has_colour = coloured[column_index(x, y)] >> z & 1;
                if (has_colour != (exposed || hidden_first) ||
                    color_map[i] != (has_colour ? colour_before[i] : untouched_mark(i))) {
                    ADD_FAILURE() << "colour differs at " << x << "," << y << "," << z;
                    return hidden_top;
                }
            }
    EXPECT_EQ(result.solid_voxels, solid_count);
    return hidden_top;
}

class VxlRoundTrip : public ::testing::TestWithParam<std::uint32_t> {
  protected:
    void SetUp() override { clear_volume(); }
    void TearDown() override { clear_volume(); }
};

TEST_P(VxlRoundTrip, WrittenRandomVolumeLoadsBackWithItsSolidsAndSurfaceColours) {
    build_random_volume(GetParam());
    EXPECT_GT(expect_round_trip(), 0u) << "the volume should include hidden voxels in the top layer";
}

INSTANTIATE_TEST_SUITE_P(Seeds, VxlRoundTrip, ::testing::Values(1u, 2u, 3u));

TEST(VxlRoundTripColumns, EveryColumnShapeInAWindowIsWrittenWithinTheLongestRecordAndReadBack) {
    // Each voxel of a 9-voxel window is air, solid exposed from the side, or solid
    // hidden, in every combination, at the top, in the middle and at the bottom
    // (where the probe for exposed voxels reaching the bottom acts); the rest of the
    // column alternates exposed solid and air, the pattern of the longest record.
    // The loader must take back every record the writer makes of them.
    clear_volume();
    constexpr int X = 100, Y = 100, WIDTH = 9;
    fill(X + 1, Y, 0, 64, 1);  // solid beside it, except where the column at x - 1 says
    fill(X, Y - 1, 0, 64, 1);
    fill(X, Y + 1, 0, 64, 1);
    std::size_t longest = 0;
    int combinations = 1;
    for (int i = 0; i < WIDTH; ++i) combinations *= 3;
    for (int window : {0, 27, 64 - WIDTH})
        for (int phase = 0; phase < 2; ++phase)
            for (int shape = 0; shape < combinations; ++shape) {
                std::uint64_t solid = 0, side_air = 0;
                for (int z = 0; z < 64; ++z) {
                    int kind = (z + phase) % 2 == 0 ? 1 : 0;  // 0 air, 1 exposed, 2 hidden
                    if (z >= window && z < window + WIDTH) {
                        kind = shape;
                        for (int i = window; i < z; ++i) kind /= 3;
                        kind %= 3;
                    }
                    if (kind != 0) solid |= std::uint64_t{1} << z;
                    if (kind == 1) side_air |= std::uint64_t{1} << z;
                }
                for (int z = 0; z < 64; ++z) {
                    solid_map[voxel_index(X, Y, z)] = solid >> z & 1;
                    solid_map[voxel_index(X - 1, Y, z)] = !(side_air >> z & 1);
                }
                std::vector<std::uint8_t> record;
                encode_vxl_column(X, Y, record);
                longest = std::max(longest, record.size());
                vxl_cursor cursor{record.data(), record.size(), 0, 0};
                vxl_column column;
                vxl_fault fault;
                ASSERT_TRUE(read_vxl_column(cursor, &column, &fault))
                    << vxl_fault_text(fault) << " for column " << std::hex << solid << " beside " << ~side_air;
                ASSERT_EQ(cursor.offset, record.size());
                ASSERT_EQ(column.solid, solid);
            }
    EXPECT_EQ(longest, VXL_MAX_RECORD_BYTES) << "the longest record is among these";
    clear_volume();
}

TEST(VxlRoundTripGenerated, GeneratedMapLoadsBackWithItsSolidsAndSurfaceColours) {
    clear_volume();
    rng_seed(1);
    generate_map();
    flip_volume();
    expect_round_trip();
    clear_volume();
}

TEST(VxlRoundTripFile, MapWrittenToAFileLoadsBackInPlaceInFileOrientation) {
    clear_volume();
    // Generator orientation: z = 0 is the bottom. An L of columns so that a
    // transpose or a flip would show.
    const int columns[][2] = {{3, 1}, {4, 1}, {5, 1}, {3, 2}, {0, 0}, {511, 7}};
    for (const auto& c : columns) {
        for (int z = 0; z <= c[0] % 7 + 2; ++z) set_solid(c[0], c[1], z, 1);
        for (int z = 0; z < MAP_DEPTH; ++z) set_color(c[0], c[1], z, 0x80000000u | std::uint32_t(c[0] << 8 | c[1]));
    }
    char path[] = "/tmp/vxl_round_trip_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    std::string why;
    ASSERT_TRUE(write_vxl_map(path, &why)) << why;
    clear_volume();
    const vxl_load_result result = load_vxl_map(path);
    unlink(path);
    ASSERT_TRUE(result.ok) << result.reason;

    std::size_t solid_count = 0;
    for (std::size_t i = 0; i < VOXEL_COUNT; ++i) solid_count += solid_map[i];
    std::size_t expected_count = 0;
    for (const auto& c : columns) {
        const int height = c[0] % 7 + 2;
        expected_count += std::size_t(height + 1);
        for (int z = 0; z < MAP_DEPTH; ++z)
            EXPECT_EQ(solid_map[voxel_index(c[0], c[1], z)], z >= 63 - height ? 1 : 0) << c[0] << "," << c[1];
        EXPECT_EQ(color_map[voxel_index(c[0], c[1], 63 - height)], 0x80000000u | std::uint32_t(c[0] << 8 | c[1]));
    }
    EXPECT_EQ(solid_count, expected_count);
    clear_volume();
}

}  // namespace
