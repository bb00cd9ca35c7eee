#include "mapfile/vxl_loader.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "mapfile/vxl_format.h"
#include "mapfile/vxl_test_image.h"
#include "volume/volume.h"

namespace {

constexpr std::uint32_t KEPT = 0x5EEDC0DE;  // a colour word no image below carries
constexpr std::uint32_t GREEN = 0x8030D030;

bool solid(int x, int y, int z) { return solid_map[voxel_index(x, y, z)] != 0; }
std::uint32_t colour(int x, int y, int z) { return color_map[voxel_index(x, y, z)]; }

/// Every voxel solid, every colour word KEPT: whatever a load does not set shows.
void fill_volume_with_marks() {
    std::memset(solid_map, 1, VOXEL_COUNT);
    for (std::size_t i = 0; i < VOXEL_COUNT; ++i) color_map[i] = KEPT;
}

class VxlLoader : public ::testing::Test {
  protected:
    void SetUp() override { clear_volume(); }
    void TearDown() override { clear_volume(); }
};

// Records put at column (3, 1), record number 1 * 512 + 3; its transpose (1, 3)
// must stay untouched.
constexpr int X = 3, Y = 1;
constexpr std::size_t K = vxl_record_number(X, Y);

struct decode_case {
    const char* name;
    vxl_bytes record;
    std::uint64_t solid;                   // bit z: voxel z solid
    std::vector<std::pair<int, std::uint32_t>> colours;  // voxels that get a colour
};

std::uint64_t range(int from, int to) {  // bits from .. to - 1
    std::uint64_t m = 0;
    for (int z = from; z < to; ++z) m |= std::uint64_t{1} << z;
    return m;
}

/// The record the writer makes of a column of exposed solid voxels at even z, air
/// at odd z: a span per pair of voxels and one for the last air voxel.
vxl_bytes alternating_record() {
    vxl_bytes record = vxl_span(2, 0, 0, 0, {0});
    for (int z = 2; z < 64; z += 2) {
        const vxl_bytes span = vxl_span(2, std::uint8_t(z), std::uint8_t(z), std::uint8_t(z - 1), {std::uint32_t(z)});
        record.insert(record.end(), span.begin(), span.end());
    }
    const vxl_bytes last = vxl_span(0, 64, 63, 63);
    record.insert(record.end(), last.begin(), last.end());
    return record;
}
std::uint64_t alternating_solid() { return 0x5555555555555555u; }
std::vector<std::pair<int, std::uint32_t>> alternating_colours() {
    std::vector<std::pair<int, std::uint32_t>> colours;
    for (int z = 0; z < 64; z += 2) colours.push_back({z, std::uint32_t(z)});
    return colours;
}

TEST_F(VxlLoader, RecordsDecodeAsTheFormatDescribes) {
    ASSERT_EQ(alternating_record().size(), VXL_MAX_RECORD_BYTES);
    const decode_case cases[] = {
        {"air above solid with a bottom run placed by the next span",
         vxl_record({vxl_span(4, 10, 10, 0, {1, 30, 31}), vxl_span(0, 32, 31, 32)}), range(10, 64),
         {{10, 1}, {30, 30}, {31, 31}}},
        {"exposed voxels reaching the bottom go to the last span's top run",
         vxl_record({vxl_span(2, 60, 60, 0, {60}), vxl_span(0, 62, 63, 62, {62, 63})}), range(60, 64),
         {{60, 60}, {62, 62}, {63, 63}}},
        {"floating block ends above the next span's air",
         vxl_record({vxl_span(3, 10, 10, 0, {10, 20}), vxl_span(0, 64, 63, 21)}), range(10, 21),
         {{10, 10}, {20, 20}}},
        {"all air", vxl_record({vxl_span(0, 64, 63, 0)}), 0, {}},
        {"height 5 with side air at 59 and 60", vxl_record({vxl_span(0, 58, 60, 0, {58, 59, 60})}),
         range(58, 64), {{58, 58}, {59, 59}, {60, 60}}},
        {"bottom layer only", vxl_record({vxl_span(0, 63, 63, 0, {63})}), range(63, 64), {{63, 63}}},
        {"solid from the top with the top voxel coloured",
         vxl_record({vxl_span(0, 0, 0, 0, {0})}), range(0, 64), {{0, 0}}},
        {"empty top run at z 0 written as top_end 255", vxl_record({vxl_span(0, 0, 255, 0)}), range(0, 64), {}},
        {"the longest record a column can need: exposed solid and air alternating from the top, 260 bytes",
         alternating_record(), alternating_solid(), alternating_colours()},
        {"64 spans, the most a column holds: one voxel of air each",
         [] {
             vxl_bytes record;
             for (int z = 0; z < 63; ++z) {
                 const vxl_bytes span = vxl_span(1, std::uint8_t(z + 1), std::uint8_t(z), std::uint8_t(z));
                 record.insert(record.end(), span.begin(), span.end());
             }
             const vxl_bytes last = vxl_span(0, 64, 63, 63);
             record.insert(record.end(), last.begin(), last.end());
             return record;
         }(),
         0, {}},
        {"a cave: two solid stretches, the upper one with a bottom run",
         vxl_record({vxl_span(3, 5, 5, 0, {5, 19}), vxl_span(0, 30, 30, 20, {30})}), range(5, 20) | range(30, 64),
         {{5, 5}, {19, 19}, {30, 30}}},
    };
    for (const decode_case& c : cases) {
        SCOPED_TRACE(c.name);
        fill_volume_with_marks();
        const vxl_bytes image = vxl_image({{K, c.record}});
        std::vector<std::uint64_t> coloured(COLUMN_COUNT, ~std::uint64_t{0});
        const vxl_load_result result = parse_vxl_map(image.data(), image.size(), coloured.data());
        ASSERT_TRUE(result.ok) << result.reason;
        std::uint64_t coloured_mask = 0;
        for (int z = 0; z < 64; ++z) {
            EXPECT_EQ(solid(X, Y, z), bool(c.solid >> z & 1)) << "z " << z;
            std::uint32_t expected = KEPT;
            for (const auto& [cz, word] : c.colours)
                if (cz == z) expected = word, coloured_mask |= std::uint64_t{1} << z;
            EXPECT_EQ(colour(X, Y, z), expected) << "z " << z;
            EXPECT_FALSE(solid(Y, X, z)) << "the transposed column was filled, z " << z;
            EXPECT_EQ(colour(Y, X, z), KEPT);
        }
        EXPECT_EQ(coloured[column_index(X, Y)], coloured_mask);
        EXPECT_EQ(coloured[column_index(Y, X)], 0u);
        EXPECT_EQ(result.coloured_voxels, c.colours.size());
        EXPECT_EQ(result.solid_voxels, std::size_t(__builtin_popcountll(c.solid)));
    }
}

TEST_F(VxlLoader, UniformImagesFillEveryColumn) {
    fill_volume_with_marks();
    const vxl_bytes air = vxl_image();
    ASSERT_TRUE(parse_vxl_map(air.data(), air.size()).ok);
    for (std::size_t i = 0; i < VOXEL_COUNT; ++i) {
        ASSERT_EQ(solid_map[i], 0) << "voxel " << i;
        ASSERT_EQ(color_map[i], KEPT) << "voxel " << i;
    }

    vxl_bytes bottom;
    const vxl_bytes record = vxl_record({vxl_span(0, 63, 63, 0, {GREEN})});
    for (std::size_t k = 0; k < VXL_RECORD_COUNT; ++k) bottom.insert(bottom.end(), record.begin(), record.end());
    ASSERT_EQ(bottom.size(), 2097152u);
    const vxl_load_result result = parse_vxl_map(bottom.data(), bottom.size());
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(result.solid_voxels, COLUMN_COUNT);
    EXPECT_EQ(result.coloured_voxels, COLUMN_COUNT);
    for (std::size_t i = 0; i < VOXEL_COUNT; ++i) {
        const bool bottom_voxel = i % 64 == 63;
        ASSERT_EQ(solid_map[i], bottom_voxel ? 1 : 0) << "voxel " << i;
        ASSERT_EQ(color_map[i], bottom_voxel ? GREEN : KEPT) << "voxel " << i;
    }
}

TEST_F(VxlLoader, BytesAfterTheLastRecordAreAcceptedAndCounted) {
    vxl_bytes image = vxl_image({{K, vxl_record({vxl_span(0, 63, 63, 0, {GREEN})})}});
    const std::size_t records = image.size();
    image.insert(image.end(), {0xFF, 0x00, 0x41, 0x99, 0x07});
    const vxl_load_result result = parse_vxl_map(image.data(), image.size());
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(result.bytes, records + 5);
    EXPECT_EQ(result.record_bytes, records);
    EXPECT_EQ(result.trailing_bytes, 5u);
    EXPECT_EQ(result.spans, VXL_RECORD_COUNT);
    EXPECT_TRUE(solid(X, Y, 63));
}

// ---- malformed images

struct malformed_case {
    const char* name;
    std::function<vxl_bytes()> image;
    const char* phrase;  // what the reason must say
    std::size_t byte;    // the offset it must name
    int x, y;            // the column it must name
};

vxl_bytes cut(vxl_bytes image, std::size_t length) {
    image.resize(length);
    return image;
}

// The faulty record sits at column (3, 1), after 515 all-air records.
constexpr std::size_t B = K * 4;
const vxl_bytes FIRST_EXAMPLE = vxl_record({vxl_span(4, 10, 10, 0, {1, 2, 3}), vxl_span(0, 32, 31, 32)});
const vxl_bytes SECOND_EXAMPLE = vxl_record({vxl_span(2, 60, 60, 0, {1}), vxl_span(0, 62, 63, 62, {2, 3})});

vxl_bytes with_record(const vxl_bytes& record) { return vxl_image({{K, record}}); }

const malformed_case MALFORMED[] = {
    {"empty file", [] { return vxl_bytes{}; }, "empty image", 0, 0, 0},
    {"cut at a record boundary", [] { return cut(with_record(FIRST_EXAMPLE), B); },
     "image ends after 515 of 262144 column records", B, X, Y},
    {"cut inside the first span header", [] { return cut(with_record(FIRST_EXAMPLE), B + 2); },
     "span header cut short", B, X, Y},
    {"cut inside top colours", [] { return cut(with_record(FIRST_EXAMPLE), B + 6); }, "top colours cut short", B,
     X, Y},
    {"cut inside bottom colours", [] { return cut(with_record(FIRST_EXAMPLE), B + 12); },
     "bottom colours cut short", B, X, Y},
    {"cut between two spans of a column", [] { return cut(with_record(FIRST_EXAMPLE), B + 16); },
     "next span missing", B + 16, X, Y},
    {"cut inside a later span header", [] { return cut(with_record(FIRST_EXAMPLE), B + 18); },
     "span header cut short", B + 16, X, Y},
    {"cut inside the last span's top colours", [] { return cut(with_record(SECOND_EXAMPLE), B + 14); },
     "top colours cut short", B + 8, X, Y},
    {"cut inside the very last record", [] { return cut(vxl_image(), VXL_AIR_MAP_BYTES - 1); },
     "span header cut short", VXL_AIR_MAP_BYTES - 4, 511, 511},
    {"top_start above 64", [] { return with_record(vxl_span(0, 65, 64, 0)); }, "top_start 65 out of range 0..64",
     B + 1, X, Y},
    {"top_end past the bottom", [] { return with_record(vxl_span(0, 60, 64, 0, {1, 2, 3, 4, 5})); },
     "top_end 64 out of range 0..63", B + 2, X, Y},
    {"top run ending above its start minus one", [] { return with_record(vxl_span(0, 10, 5, 0)); },
     "top_end 5 ends above top_start 10 minus one", B + 2, X, Y},
    {"top run above the span's air_start",
     [] { return with_record(vxl_record({vxl_span(1, 10, 9, 0), vxl_span(0, 5, 5, 20, {1})})); },
     "top_start 5 lies above the air_start 20", B + 5, X, Y},
    {"span_length too small for its top colours", [] { return with_record(vxl_span(2, 10, 11, 0, {1, 2})); },
     "span_length 2 too small for its 2 top colours", B, X, Y},
    {"next air_start above 64",
     [] { return with_record(vxl_record({vxl_span(1, 10, 9, 0), vxl_span(0, 64, 63, 65)})); },
     "air_start 65 out of range 0..64", B + 7, X, Y},
    {"next air_start inside the top run",
     [] { return with_record(vxl_record({vxl_span(2, 10, 10, 0, {1}), vxl_span(0, 64, 63, 10)})); },
     "air_start 10 lies above z 11", B + 11, X, Y},
    {"bottom run reaching into the top run",
     [] { return with_record(vxl_record({vxl_span(4, 10, 10, 0, {1, 2, 3}), vxl_span(0, 64, 63, 12)})); },
     "bottom run of 2 colours would start at z 10", B, X, Y},
    {"span_length pointing far past the column",
     [] { return with_record(vxl_record({vxl_span(255, 10, 10, 0, {1})})); },
     "column record of at least 1024 bytes, longer than the 260 a column can need", B, X, Y},
    {"span_length pointing past the end of the image",
     [] {
         vxl_bytes image = vxl_image();
         const vxl_bytes last = vxl_span(200, 64, 63, 0);
         std::copy(last.begin(), last.end(), image.end() - 4);
         return image;
     },
     "column record of at least 804 bytes", VXL_AIR_MAP_BYTES - 4, 511, 511},
    {"bottom colours cut short within the longest record",
     [] { return vxl_image({{VXL_RECORD_COUNT - 1, vxl_span(60, 1, 0, 0)}}); },
     "bottom colours cut short: 59 colour records need bytes up to 1048812", VXL_AIR_MAP_BYTES - 4, 511, 511},
    // A span covers the voxels from its air_start down to the next span's.
    {"span that covers nothing: the next one starts where it starts",
     [] { return with_record(vxl_record({vxl_span(1, 5, 4, 0), vxl_span(1, 5, 4, 5), vxl_span(0, 64, 63, 5)})); },
     "air_start 5 does not lie below the previous span's: that span covers no voxel", B + 11, X, Y},
    {"first span that covers nothing: an empty top run at z 0 and the next span at 0",
     [] { return with_record(vxl_record({vxl_span(1, 0, 255, 0), vxl_span(0, 0, 0, 0, {1})})); },
     "air_start 0 does not lie below", B + 7, X, Y},
    {"last span starting below the bottom voxel",
     [] { return with_record(vxl_record({vxl_span(3, 62, 61, 0, {1, 2}), vxl_span(0, 64, 63, 64)})); },
     "air_start 64 lies below the bottom voxel, z 63: the span covers no voxel", B + 15, X, Y},
    {"a 65th span: 64 spans of one voxel each use up the column",
     [] {
         vxl_bytes record;
         for (int z = 0; z < 65; ++z) {
             const vxl_bytes span = vxl_span(1, std::uint8_t(z + 1), std::uint8_t(z), std::uint8_t(z));
             record.insert(record.end(), span.begin(), span.end());
         }
         return with_record(record);
     },
     "air_start 64 lies below the bottom voxel", B + 259, X, Y},
    {"spans of one coloured voxel each, longer than any record the writer makes",
     [] {
         vxl_bytes record;
         for (int z = 0; z < 40; ++z) {
             const vxl_bytes span = vxl_span(2, std::uint8_t(z), std::uint8_t(z), std::uint8_t(z), {1});
             record.insert(record.end(), span.begin(), span.end());
         }
         return with_record(record);
     },
     "column record of at least 268 bytes", B + 256, X, Y},
};

TEST_F(VxlLoader, MalformedImagesAreRejectedWithTheirOwnReasonAndChangeNothing) {
    // A volume with something everywhere, kept to compare against.
    for (std::size_t i = 0; i < VOXEL_COUNT; ++i) {
        solid_map[i] = std::uint8_t(i * 7 >> 3 & 1);
        color_map[i] = std::uint32_t(i * 2654435761u);
    }
    const std::vector<std::uint8_t> solid_before(solid_map, solid_map + VOXEL_COUNT);
    const std::vector<std::uint32_t> colour_before(color_map, color_map + VOXEL_COUNT);
    std::vector<std::uint64_t> coloured(COLUMN_COUNT, 0x1234);

    std::set<std::string> reasons;
    for (const malformed_case& c : MALFORMED) {
        SCOPED_TRACE(c.name);
        const vxl_bytes image = c.image();
        const vxl_load_result result = parse_vxl_map(image.data(), image.size(), coloured.data());
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.reason.find(c.phrase), std::string::npos) << result.reason;
        const std::string where =
            "byte " + std::to_string(c.byte) + ", column (" + std::to_string(c.x) + ", " + std::to_string(c.y) + ")";
        EXPECT_EQ(result.reason.rfind(where, 0), 0u) << result.reason;
        EXPECT_TRUE(reasons.insert(result.reason).second) << "reason given twice: " << result.reason;
        ASSERT_EQ(std::memcmp(solid_map, solid_before.data(), VOXEL_COUNT), 0) << "solid_map was written";
        ASSERT_EQ(std::memcmp(color_map, colour_before.data(), VOXEL_COUNT * 4), 0) << "color_map was written";
        for (std::uint64_t m : coloured) ASSERT_EQ(m, 0x1234u) << "coloured masks were written";
    }
}

TEST_F(VxlLoader, EveryTruncationOfAValidImageIsRejected) {
    // One record of each shape near the end, then every length that cuts into them.
    const vxl_bytes image = vxl_image({{VXL_RECORD_COUNT - 3, FIRST_EXAMPLE},
                                       {VXL_RECORD_COUNT - 2, SECOND_EXAMPLE},
                                       {VXL_RECORD_COUNT - 1, vxl_span(0, 58, 60, 0, {1, 2, 3})}});
    ASSERT_TRUE(check_vxl_map(image.data(), image.size()).ok);
    for (std::size_t length = image.size() - 80; length < image.size(); ++length) {
        const vxl_load_result result = check_vxl_map(image.data(), length);
        EXPECT_FALSE(result.ok) << "length " << length;
        EXPECT_FALSE(result.reason.empty());
    }
}

// ---- files

TEST_F(VxlLoader, LoadReadsTheFileAndDecodesIt) {
    char path[] = "/tmp/vxl_loader_test_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const vxl_bytes image = vxl_image({{K, vxl_span(0, 63, 63, 0, {GREEN})}});
    ASSERT_EQ(write(fd, image.data(), image.size()), ssize_t(image.size()));
    close(fd);
    const vxl_load_result result = load_vxl_map(path);
    unlink(path);
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_FALSE(result.read_failed);
    EXPECT_TRUE(solid(X, Y, 63));
    EXPECT_EQ(colour(X, Y, 63), GREEN);
}

/// A file of the given bytes in a fresh folder, removed with it.
struct map_file {
    std::string dir = "/tmp/vxl_loader_test.XXXXXX";
    std::string path;
    explicit map_file(const vxl_bytes& bytes) {
        EXPECT_NE(mkdtemp(dir.data()), nullptr);
        path = dir + "/map.vxl";
        FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
        std::fclose(f);
    }
    ~map_file() {
        unlink(path.c_str());
        rmdir(dir.c_str());
    }
};

/// read_vxl_file on standard input, with bytes fed through a pipe as it reads.
vxl_load_result read_from_pipe(const vxl_bytes& bytes, std::uint64_t max_bytes) {
    signal(SIGPIPE, SIG_IGN);  // the reader may stop before the writer is done
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    std::thread writer([&] {
        std::size_t at = 0;
        while (at < bytes.size()) {
            const ssize_t n = write(fds[1], bytes.data() + at, bytes.size() - at);
            if (n <= 0) break;  // the reader stopped early
            at += std::size_t(n);
        }
        close(fds[1]);
    });
    const int saved = dup(STDIN_FILENO);
    dup2(fds[0], STDIN_FILENO);
    close(fds[0]);
    const vxl_load_result result = read_vxl_file("-", max_bytes);
    dup2(saved, STDIN_FILENO);  // closes the read end: a writer still at it gets EPIPE
    close(saved);
    writer.join();
    return result;
}

TEST_F(VxlLoader, FileIsReadOnlyAsFarAsItsRecordsNeed) {
    // A valid map followed by almost 8 GiB of hole: the records and a little more
    // are read, the rest is counted from the size.
    const vxl_bytes image = vxl_image({{K, vxl_span(0, 63, 63, 0, {GREEN})}});
    map_file file(image);
    const std::uint64_t size = std::uint64_t{8} << 30;
    ASSERT_EQ(truncate(file.path.c_str(), off_t(size)), 0);
    vxl_input_image held;
    const vxl_load_result result = read_vxl_file(file.path.c_str(), VXL_ANY_SIZE, &held);
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(result.bytes, size);
    EXPECT_EQ(result.record_bytes, image.size());
    EXPECT_EQ(result.trailing_bytes, size - image.size());
    EXPECT_GE(held.length, image.size());
    EXPECT_LE(held.length, image.size() + (std::size_t{512} << 10));
    EXPECT_EQ(std::memcmp(held.bytes.get(), image.data(), image.size()), 0);
}

TEST_F(VxlLoader, PipeReadsAsTheSameBytesInMemoryDo) {
    vxl_bytes trailing = vxl_image();
    trailing.insert(trailing.end(), 300000, 0x5A);
    const vxl_bytes images[] = {
        vxl_image({{K, FIRST_EXAMPLE}}),
        trailing,
        cut(vxl_image({{K, FIRST_EXAMPLE}}), VXL_AIR_MAP_BYTES - 3),
        with_record(vxl_record({vxl_span(255, 10, 10, 0, {1})})),
        vxl_image({{VXL_RECORD_COUNT - 1, alternating_record()}}),
        {},
    };
    for (const vxl_bytes& image : images) {
        SCOPED_TRACE(image.size());
        const vxl_load_result memory = check_vxl_map(image.data(), image.size());
        const vxl_load_result piped = read_from_pipe(image, VXL_ANY_SIZE);
        EXPECT_EQ(piped.ok, memory.ok);
        EXPECT_EQ(piped.reason, memory.reason);
        EXPECT_EQ(piped.fault.offset, memory.fault.offset);
        EXPECT_EQ(piped.fault.record, memory.fault.record);
        EXPECT_EQ(piped.spans, memory.spans);
        EXPECT_EQ(piped.coloured_voxels, memory.coloured_voxels);
        if (memory.ok) {
            EXPECT_EQ(piped.trailing_bytes, memory.trailing_bytes);
        }
    }
}

TEST_F(VxlLoader, SizeLimitRefusesLargerFilesWhateverTheyHold) {
    const vxl_bytes valid = vxl_image();
    vxl_bytes invalid_early = valid;
    invalid_early[1] = 99;  // top_start out of range in the first record
    const struct {
        const char* name;
        const vxl_bytes& image;
        std::uint64_t limit;
        bool ok;
        std::string file_reason, pipe_reason;  // from a file, from a pipe
    } cases[] = {
        {"a map of exactly the limit", valid, VXL_AIR_MAP_BYTES, true, "", ""},
        {"one byte over", valid, VXL_AIR_MAP_BYTES - 1, false, "file is 1048576 bytes, limit 1048575",
         "input is more than 1048575 bytes, limit 1048575"},
        {"far over, with a fault in the first bytes", invalid_early, 1000, false, "file is 1048576 bytes, limit 1000",
         "input is more than 1000 bytes, limit 1000"},
        {"a fault within the limit", invalid_early, VXL_AIR_MAP_BYTES, false,
         "byte 1, column (0, 0): top_start 99 out of range 0..64", "byte 1, column (0, 0): top_start 99 out of range 0..64"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        map_file file(c.image);
        const vxl_load_result from_file = read_vxl_file(file.path.c_str(), c.limit);
        EXPECT_EQ(from_file.ok, c.ok);
        EXPECT_FALSE(from_file.read_failed);
        EXPECT_EQ(from_file.reason, c.file_reason);
        const vxl_load_result from_pipe = read_from_pipe(c.image, c.limit);
        EXPECT_EQ(from_pipe.ok, c.ok);
        EXPECT_EQ(from_pipe.reason, c.pipe_reason);
    }
}

TEST_F(VxlLoader, FilesThatCannotBeReadAreErrorsWithTheSystemsReason) {
    fill_volume_with_marks();
    const struct {
        const char* path;
        const char* reason;
    } cases[] = {{"/nonexistent/map.vxl", "No such file or directory"},
                 {"/tmp", "Is a directory"},
                 {"/dev/zero", "not a regular file"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const vxl_load_result result = load_vxl_map(c.path);
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.read_failed);
        EXPECT_EQ(result.reason, c.reason);
    }
    EXPECT_TRUE(solid(0, 0, 0));
    EXPECT_EQ(colour(0, 0, 0), KEPT);
}

}  // namespace
