#include "mapfile/vxl_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "mapfile/vxl_format.h"
#include "mapfile/vxl_writer_reference.h"
#include "volume/volume.h"

namespace {

using bytes = std::vector<std::uint8_t>;

// A colour that tells voxels apart: the column and z are readable in its bytes.
std::uint32_t colour_of(int x, int y, int z) {
    return 0x80000000u | std::uint32_t(z) << 16 | std::uint32_t(x & 0xFF) << 8 | std::uint32_t(y & 0xFF);
}

void paint(int x, int y) {
    for (int z = 0; z < MAP_DEPTH; ++z) set_color(x, y, z, colour_of(x, y, z));
}

// Makes z in [from, to) of column (x, y) solid (file orientation).
void fill(int x, int y, int from, int to) {
    for (int z = from; z < to; ++z) set_solid(x, y, z, 1);
    paint(x, y);
}

void fill_neighbours(int x, int y, int from, int to) {
    fill(x - 1, y, from, to);
    fill(x + 1, y, from, to);
    fill(x, y - 1, from, to);
    fill(x, y + 1, from, to);
}

void carve(int x, int y, int from, int to) {
    for (int z = from; z < to; ++z) set_solid(x, y, z, 0);
}

bytes column_record(int x, int y) {
    bytes out;
    encode_vxl_column(x, y, out);
    return out;
}

// A span as written: its header, then the colours of the listed voxels.
struct span {
    std::uint8_t header[4];
    std::vector<int> coloured_z;
};

std::vector<int> z_range(int from, int to) {
    std::vector<int> z;
    for (int i = from; i < to; ++i) z.push_back(i);
    return z;
}

bytes expected_record(int x, int y, const std::vector<span>& spans) {
    bytes out;
    for (const span& s : spans) {
        out.insert(out.end(), s.header, s.header + 4);
        for (int z : s.coloured_z) put_u32_le(out, colour_of(x, y, z));
    }
    return out;
}

class VxlWriter : public ::testing::Test {
  protected:
    void SetUp() override { clear_volume(); }
    void TearDown() override { clear_volume(); }
};

// Columns are set up in file orientation (z = 0 on top) around (X, Y), an inner
// column, so that every side neighbour lies inside the volume.
constexpr int X = 100, Y = 200;

struct record_case {
    const char* name;
    std::function<void()> build;
    std::vector<span> spans;
    std::size_t size;
};

TEST_F(VxlWriter, ColumnRecordsMatchTheWorkedExamples) {
    const std::vector<record_case> cases = {
        {"ground with side air at 30 and 31",
         [] {
             fill(X, Y, 10, 64);
             fill_neighbours(X, Y, 0, 64);
             carve(X - 1, Y, 30, 32);
         },
         {{{0x04, 0x0A, 0x0A, 0x00}, {10, 30, 31}}, {{0x00, 0x20, 0x1F, 0x20}, {}}},
         20},
        {"exposed voxels reaching the bottom go to the next span's top run",
         [] {
             fill(X, Y, 60, 64);
             fill_neighbours(X, Y, 0, 64);
             carve(X, Y + 1, 62, 64);
         },
         {{{0x02, 0x3C, 0x3C, 0x00}, {60}}, {{0x00, 0x3E, 0x3F, 0x3E}, {62, 63}}},
         20},
        {"floating slab with air below",
         [] {
             fill(X, Y, 10, 21);
             fill_neighbours(X, Y, 0, 64);
         },
         {{{0x03, 0x0A, 0x0A, 0x00}, {10, 20}}, {{0x00, 0x40, 0x3F, 0x15}, {}}},
         16},
        {"air from top to bottom", [] { fill_neighbours(X, Y, 0, 64); }, {{{0x00, 0x40, 0x3F, 0x00}, {}}}, 4},
        {"height-5 column beside a lower one",
         [] {
             fill(X, Y, 58, 64);
             fill(X - 1, Y, 61, 64);
             fill(X + 1, Y, 58, 64);
             fill(X, Y - 1, 58, 64);
             fill(X, Y + 1, 50, 64);
         },
         {{{0x00, 0x3A, 0x3C, 0x00}, {58, 59, 60}}},
         16},
        // Beyond the worked examples.
        {"cave: a bottom run above the cave, a new span below it",
         [] {
             fill(X, Y, 10, 64);
             carve(X, Y, 20, 25);
             fill_neighbours(X, Y, 0, 64);
         },
         {{{0x03, 0x0A, 0x0A, 0x00}, {10, 19}}, {{0x00, 0x19, 0x19, 0x14}, {25}}},
         20},
        {"overhang: side air under a ledge makes a bottom run and a second surface",
         [] {
             fill(X, Y, 5, 64);
             fill_neighbours(X, Y, 0, 64);
             carve(X + 1, Y, 12, 20);  // the neighbour is hollow beneath its ledge
         },
         {{{0x0A, 0x05, 0x05, 0x00}, {5, 12, 13, 14, 15, 16, 17, 18, 19}}, {{0x00, 0x14, 0x13, 0x14}, {}}},
         44},
        {"every voxel exposed: one top run of 64 colours",
         [] {
             fill(X, Y, 0, 64);
             fill(X, Y - 1, 0, 64);
             fill(X, Y + 1, 0, 64);
             fill(X + 1, Y, 0, 64);
         },
         {{{0x00, 0x00, 0x3F, 0x00}, z_range(0, 64)}},
         260},
        {"one solid voxel at the bottom under air",
         [] {
             fill(X, Y, 63, 64);
             fill_neighbours(X, Y, 63, 64);
         },
         {{{0x00, 0x3F, 0x3F, 0x00}, {63}}},
         8},
        // No top_end of 255: a span starting at z = 0 on hidden solid opens its top
        // run with that voxel and its colour.
        {"hidden solid at the top layer",
         [] {
             fill(X, Y, 0, 64);
             fill_neighbours(X, Y, 0, 64);
         },
         {{{0x00, 0x00, 0x00, 0x00}, {0}}},
         8},
        {"hidden solid at the top layer, side air just below it",
         [] {
             fill(X, Y, 0, 64);
             fill_neighbours(X, Y, 0, 64);
             carve(X - 1, Y, 1, 3);
         },
         {{{0x00, 0x00, 0x02, 0x00}, {0, 1, 2}}},
         16},
        {"hidden solid at the top layer, side air down to the bottom",
         [] {
             fill(X, Y, 0, 64);
             fill_neighbours(X, Y, 0, 64);
             carve(X - 1, Y, 40, 64);
         },
         {{{0x02, 0x00, 0x00, 0x00}, {0}}, {{0x00, 0x28, 0x3F, 0x28}, z_range(40, 64)}},
         8 + 4 + 24 * 4},
    };
    for (const record_case& c : cases) {
        SCOPED_TRACE(c.name);
        clear_volume();
        c.build();
        const bytes record = column_record(X, Y);
        EXPECT_EQ(record, expected_record(X, Y, c.spans));
        EXPECT_EQ(record.size(), c.size);
    }
}

TEST_F(VxlWriter, ReaderPlacesTheBottomRunOfTheFirstExampleAt30And31) {
    fill(X, Y, 10, 64);
    fill_neighbours(X, Y, 0, 64);
    carve(X - 1, Y, 30, 32);
    const bytes r = column_record(X, Y);
    const int n = r[0] - 1 - (r[2] - r[1] + 1);  // bottom count
    const int a = r[r[0] * 4 + 3];                // air_start of the next span
    EXPECT_EQ(n, 2);
    EXPECT_EQ(a - n, 30);
}

TEST_F(VxlWriter, MapEdgesAreNotSurfaces) {
    // Solid columns whose only air lies beyond the map's edge carry no side colours.
    const int edges[][2] = {{0, 0}, {511, 0}, {0, 511}, {511, 511}, {0, 300}, {300, 511}};
    for (const auto& e : edges) {
        SCOPED_TRACE(testing::Message() << "column " << e[0] << "," << e[1]);
        clear_volume();
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy) {
                const int x = e[0] + dx, y = e[1] + dy;
                if (x >= 0 && x < MAP_SIZE && y >= 0 && y < MAP_SIZE) fill(x, y, 10, 64);
            }
        EXPECT_EQ(column_record(e[0], e[1]), expected_record(e[0], e[1], {{{0x00, 0x0A, 0x0A, 0x00}, {10}}}));
    }
}

TEST_F(VxlWriter, ExposureCountsOnlyFaceNeighboursInsideTheVolume) {
    fill(X, Y, 0, 64);
    fill_neighbours(X, Y, 0, 64);
    EXPECT_EQ(is_exposed(X, Y, 30), 0);
    EXPECT_EQ(is_exposed(X, Y, 0), 0) << "the top layer is not a surface by itself";
    EXPECT_EQ(is_exposed(X, Y, 63), 0) << "the bottom layer is not a surface by itself";

    // Each face neighbour alone exposes the voxel; an edge neighbour does not.
    const int faces[][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
    for (const auto& f : faces) {
        set_solid(X + f[0], Y + f[1], 30 + f[2], 0);
        EXPECT_EQ(is_exposed(X, Y, 30), 1) << f[0] << "," << f[1] << "," << f[2];
        set_solid(X + f[0], Y + f[1], 30 + f[2], 1);
    }
    fill(X + 1, Y + 1, 0, 64);
    carve(X + 1, Y + 1, 30, 31);
    EXPECT_EQ(is_exposed(X, Y, 30), 0);

    EXPECT_EQ(is_exposed(X + 5, Y, 30), 0) << "air is never exposed";
    set_solid(X + 5, Y, 30, 7);
    EXPECT_EQ(is_exposed(X + 5, Y, 30), 1) << "any non-zero byte is solid";
}

TEST_F(VxlWriter, FlipExchangesZAndItsMirrorAndTwiceRestores) {
    set_solid(3, 4, 0, 1);
    set_color(3, 4, 0, 0x80AABBCC);
    set_solid(3, 4, 31, 1);
    set_color(3, 4, 31, 0x80112233);
    height_field[column_index(3, 4)] = 2.5f;
    flip_volume();
    EXPECT_EQ(solid_map[voxel_index(3, 4, 63)], 1);
    EXPECT_EQ(color_map[voxel_index(3, 4, 63)], 0x80AABBCCu);
    EXPECT_EQ(solid_map[voxel_index(3, 4, 32)], 1);
    EXPECT_EQ(color_map[voxel_index(3, 4, 32)], 0x80112233u);
    EXPECT_EQ(solid_map[voxel_index(3, 4, 0)], 0);
    EXPECT_EQ(height_field[column_index(3, 4)], 2.5f) << "planar fields are not flipped";
    flip_volume();
    EXPECT_EQ(solid_map[voxel_index(3, 4, 0)], 1);
    EXPECT_EQ(color_map[voxel_index(3, 4, 31)], 0x80112233u);
    EXPECT_EQ(solid_map[voxel_index(3, 4, 63)], 0);
}

TEST_F(VxlWriter, ColourWordsAreWrittenLeastSignificantByteFirst) {
    bytes out{0xEE};
    put_u32_le(out, 0x8030D030u);
    put_u32_le(out, 0x01020304u);
    EXPECT_EQ(out, (bytes{0xEE, 0x30, 0xD0, 0x30, 0x80, 0x04, 0x03, 0x02, 0x01}));
}

TEST_F(VxlWriter, AllAirVolumeIsOneEmptySpanPerColumn) {
    bytes out;
    encode_vxl_map(out);
    ASSERT_EQ(out.size(), VXL_AIR_MAP_BYTES);
    ASSERT_EQ(out.size(), 1048576u);
    for (std::size_t i = 0; i < out.size(); i += 4)
        ASSERT_TRUE(std::equal(out.begin() + i, out.begin() + i + 4, VXL_AIR_COLUMN)) << "at " << i;
}

TEST_F(VxlWriter, RecordsRunWithXFastest) {
    // One solid voxel in column (1, 0): its record must be the file's second.
    set_solid(1, 0, 63, 1);
    set_color(1, 0, 63, 0x80102030);
    bytes out;
    encode_vxl_map(out);
    ASSERT_EQ(out.size(), VXL_AIR_MAP_BYTES + 4);
    EXPECT_EQ(vxl_record_number(1, 0), 1u);
    EXPECT_EQ(bytes(out.begin() + 4, out.begin() + 12), (bytes{0x00, 0x3F, 0x3F, 0x00, 0x30, 0x20, 0x10, 0x80}));
    EXPECT_EQ(bytes(out.begin(), out.begin() + 4), bytes(VXL_AIR_COLUMN, VXL_AIR_COLUMN + 4));
}

// Reads one column record back the way any VXL reader does: solid unless a span
// says air, colours placed by top runs and by the next span's air_start.
struct decoded_column {
    bool solid[64];
    bool has_colour[64];
    std::uint32_t colour[64];
    std::size_t size;
};

decoded_column decode_column(const bytes& r) {
    decoded_column c{};
    std::fill(std::begin(c.solid), std::end(c.solid), true);
    std::size_t at = 0;
    int cursor = 0;
    auto colour_at = [&](std::size_t offset) {
        return std::uint32_t(r[offset]) | std::uint32_t(r[offset + 1]) << 8 | std::uint32_t(r[offset + 2]) << 16 |
               std::uint32_t(r[offset + 3]) << 24;
    };
    while (true) {
        const int length = r.at(at), top_start = r.at(at + 1), top_end = r.at(at + 2);
        if (top_start > 64 || top_end > 63 || top_end < top_start - 1 || top_start < cursor) {
            ADD_FAILURE() << "span header " << length << " " << top_start << " " << top_end;
            return c;
        }
        for (int z = cursor; z < top_start; ++z) c.solid[z] = false;
        for (int z = top_start; z <= top_end; ++z) {
            c.has_colour[z] = true;
            c.colour[z] = colour_at(at + 4 + 4 * std::size_t(z - top_start));
        }
        if (length == 0) {
            c.size = at + 4 * std::size_t(top_end - top_start + 2);
            return c;
        }
        const int bottom = length - 1 - (top_end - top_start + 1);
        const std::size_t next = at + 4 * std::size_t(length);
        const int a = r.at(next + 3);
        if (a - bottom <= top_end || a > 63) {
            ADD_FAILURE() << "bottom run of " << bottom << " before air_start " << a;
            return c;
        }
        for (int i = 0; i < bottom; ++i) {
            const int z = a - bottom + i;
            c.has_colour[z] = true;
            c.colour[z] = colour_at(at + 4 + 4 * std::size_t(top_end - top_start + 1 + i));
        }
        EXPECT_LE(length, VXL_MAX_SPAN_LENGTH);
        cursor = a;
        at = next;
    }
}

TEST_F(VxlWriter, RandomColumnsReadBackExactly) {
    // Caves, overhangs and floating bits at random, in a patch that includes the
    // map's corner: reading the records back must give every voxel's solidity, and
    // a colour for exactly the exposed voxels (plus a hidden voxel at z = 0 that
    // opens a first span).
    std::mt19937 random(12345);
    constexpr int PATCH = 12;
    const int origins[][2] = {{0, 0}, {250, 250}, {MAP_SIZE - PATCH, MAP_SIZE - PATCH}};
    for (int round = 0; round < 6; ++round)
        for (const auto& o : origins) {
            clear_volume();
            const int density = 30 + 15 * round;  // percent solid: sparse to packed
            for (int x = o[0]; x < o[0] + PATCH; ++x)
                for (int y = o[1]; y < o[1] + PATCH; ++y) {
                    paint(x, y);
                    for (int z = 0; z < MAP_DEPTH; ++z)
                        set_solid(x, y, z, int(random() % 100) < density ? 1 : 0);
                }
            for (int x = o[0]; x < o[0] + PATCH; ++x)
                for (int y = o[1]; y < o[1] + PATCH; ++y) {
                    const bytes r = column_record(x, y);
                    const decoded_column c = decode_column(r);
                    ASSERT_EQ(c.size, r.size());
                    for (int z = 0; z < MAP_DEPTH; ++z) {
                        SCOPED_TRACE(testing::Message() << x << "," << y << "," << z);
                        ASSERT_EQ(c.solid[z], solid_map[voxel_index(x, y, z)] != 0);
                        const bool opens_first_span = z == 0 && c.solid[0];
                        if (!opens_first_span) {
                            ASSERT_EQ(c.has_colour[z], is_exposed(x, y, z) == 1);
                        }
                        if (c.has_colour[z]) {
                            ASSERT_EQ(c.colour[z], colour_of(x, y, z));
                        }
                    }
                }
        }
}

TEST_F(VxlWriter, WriteFlipsIntoFileOrientationAndLeavesTheVolumeAsItWas) {
    // Generator orientation: z = 0 is the lowest voxel. A volume solid only there
    // becomes the bottom layer of the file: every record 00 3F 3F 00 + one colour.
    for (int x = 0; x < MAP_SIZE; ++x)
        for (int y = 0; y < MAP_SIZE; ++y) {
            set_solid(x, y, 0, 1);
            set_color(x, y, 0, colour_of(x, y, 0));
        }
    char dir_template[] = "/tmp/vxl_writer_test.XXXXXX";
    ASSERT_NE(mkdtemp(dir_template), nullptr);
    const std::string path = std::string(dir_template) + "/map.vxl";
    std::string reason;
    ASSERT_TRUE(write_vxl_map(path.c_str(), &reason)) << reason;

    std::ifstream in(path, std::ios::binary);
    const bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(file.size(), 2097152u);
    for (int y = 0; y < MAP_SIZE; ++y)
        for (int x = 0; x < MAP_SIZE; ++x) {
            const std::size_t at = vxl_record_number(x, y) * 8;
            bytes expected{0x00, 0x3F, 0x3F, 0x00};
            put_u32_le(expected, colour_of(x, y, 0));
            ASSERT_EQ(bytes(file.begin() + at, file.begin() + at + 8), expected) << x << "," << y;
        }
    EXPECT_EQ(solid_map[voxel_index(7, 9, 0)], 1) << "the volume stays in generator orientation";
    EXPECT_EQ(solid_map[voxel_index(7, 9, 63)], 0);

    // So a second write gives the same file, not the map upside down.
    ASSERT_TRUE(write_vxl_map(path.c_str(), &reason)) << reason;
    std::ifstream again(path, std::ios::binary);
    EXPECT_EQ(bytes((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>()), file);
    std::filesystem::remove_all(dir_template);
}

namespace {

// Colours for the row-by-row test: a row is painted only when the writer asks for it.
int rows_finished = 0;
bool rows_in_order = true;
void paint_row_when_asked(int x, void*) {
    rows_in_order = rows_in_order && x == rows_finished;
    ++rows_finished;
    for (int y = 0; y < MAP_SIZE; ++y)
        for (int z = 0; z < MAP_DEPTH; ++z) set_color(x, y, z, colour_of(x, y, z));
}

bytes read_whole_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST_F(VxlWriter, RowsFinishedOneAtATimeGiveTheFileOfTheFinishedVolume) {
    // Ground, caves and floating voxels, so that plain and ground columns both occur.
    for (int x = 0; x < MAP_SIZE; ++x)
        for (int y = 0; y < MAP_SIZE; ++y) {
            const int top = (x * 7 + y * 3) % 40;
            fill(x, y, 0, top);
            if ((x + y) % 13 == 0) carve(x, y, 2, 5);
            if ((x ^ y) % 17 == 0) fill(x, y, top + 3, top + 5);
        }
    std::fill_n(color_map, VOXEL_COUNT, 0u);
    char dir_template[] = "/tmp/vxl_writer_test.XXXXXX";
    ASSERT_NE(mkdtemp(dir_template), nullptr);
    const std::string rows_path = std::string(dir_template) + "/rows.vxl", whole_path = std::string(dir_template) + "/whole.vxl";
    std::string reason;

    // The colours are not there yet: a row encoded before it is finished would show.
    std::vector<std::uint8_t> lent(1 << 20, 0xEE);
    ASSERT_TRUE(write_vxl_map_finishing_rows(rows_path.c_str(), &reason, lent, paint_row_when_asked, nullptr)) << reason;
    EXPECT_EQ(rows_finished, MAP_SIZE);
    EXPECT_TRUE(rows_in_order);
    ASSERT_TRUE(write_vxl_map(whole_path.c_str(), &reason)) << reason;
    const bytes rows_file = read_whole_file(rows_path), whole_file = read_whole_file(whole_path);
    std::filesystem::remove_all(dir_template);
    EXPECT_GT(whole_file.size(), 2097152u);
    EXPECT_TRUE(rows_file == whole_file);
}

TEST_F(VxlWriter, FailedWriteReportsTheReason) {
    std::string reason;
    EXPECT_FALSE(write_vxl_map("/nonexistent-dir-for-vxl-test/map.vxl", &reason));
    EXPECT_EQ(reason, "No such file or directory");
    EXPECT_FALSE(write_vxl_map("/dev/full", &reason));
    EXPECT_EQ(reason, "No space left on device");
}

}  // namespace
