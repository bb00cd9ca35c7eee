#include "library/vxl_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "mapfile/vxl_fast_encoder.h"
#include "mapfile/vxl_writer.h"
#include "mapfile/vxl_writer_reference.h"
#include "numerics/rng.h"
#include "terrain/map.h"
#include "volume/volume.h"

namespace {

using bytes = std::vector<std::uint8_t>;

// Seeds at the ends of the range and around 0, then a spread of others: 40 in all.
std::vector<std::int32_t> many_seeds() {
    std::vector<std::int32_t> seeds = {0, 1, -1, 2, -2, 42, 12345, INT32_MAX, INT32_MIN, INT32_MIN + 1};
    std::uint32_t s = 0x9E3779B9u;
    while (seeds.size() < 40) {
        s = s * 1664525u + 1013904223u;
        seeds.push_back(static_cast<std::int32_t>(s));
    }
    return seeds;
}

// The file of the plain run: the seeded volume from generate_map, through the
// writer of the run (write_vxl_map's encoder) or, with plain, also through the
// voxel-by-voxel writer after the flip, which must agree.
bytes volume_file(std::int32_t seed, bool start_regions, bool plain) {
    clear_volume();
    debug_regions = start_regions ? 1 : 0;
    rng_seed(static_cast<std::uint32_t>(seed));
    generate_map();
    const vxl_file_image image = encode_vxl_map_fast();
    bytes file(image.bytes.get(), image.bytes.get() + image.size);
    if (plain) {
        flip_volume();
        bytes slow;
        encode_vxl_map(slow);
        EXPECT_TRUE(slow == file) << "the two writers of the volume differ";
    }
    clear_volume();
    return file;
}

// Where two files first differ, for a message a reader can act on.
std::string first_difference(const bytes& a, const bytes& b) {
    const auto at = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size()) + ", first difference at byte " +
           std::to_string(at.first - a.begin());
}

}  // namespace

TEST(MakeVxlMap, SameFileAsTheVolumeForManySeedsWithAndWithoutStartRegions) {
    int index = 0;
    for (const std::int32_t seed : many_seeds()) {
        for (const bool start_regions : {false, true}) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << (start_regions ? " with" : " without")
                                            << " start regions");
            const bytes expected = volume_file(seed, start_regions, index++ % 20 == 0);
            const bytes made = make_vxl_map(seed, start_regions);
            ASSERT_TRUE(made == expected) << first_difference(made, expected);
        }
    }
}

TEST(MakeVxlMap, ReusedWorkAndBufferGiveEachSeedItsOwnFile) {
    // Sizes that grow and shrink from one map to the next, so a stale tail or
    // anything left from the map before would show.
    const std::int32_t seeds[] = {12345, 7, 1000, -1, 12345};
    const auto work = std::make_unique<vxl_map_work>();
    bytes out(3 << 20, 0xA5);
    for (const std::int32_t seed : seeds) {
        for (const bool start_regions : {true, false}) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << " start regions " << start_regions);
            make_vxl_map(seed, start_regions, *work, out);
            const bytes alone = make_vxl_map(seed, start_regions);
            ASSERT_TRUE(out == alone) << first_difference(out, alone);
        }
    }
}

TEST(MakeVxlMap, PreparedMapIsEncodedInTheWorkspaceItWasMadeWith) {
    const fresh_vxl_map_work work;
    prepare_vxl_map(1, false, *work);
    const bytes expected = make_vxl_map(1, false);
    ASSERT_EQ(prepared_vxl_map_size(*work), expected.size());
    file_buffer spare;
    const std::span<const std::uint8_t> file = encode_vxl_map_in_work(*work, spare);
    EXPECT_EQ(file.data(), idle_workspace(*work).data());
    EXPECT_FALSE(spare) << "memory taken for a file that fits the workspace";
    EXPECT_TRUE(std::equal(file.begin(), file.end(), expected.begin(), expected.end())) << "the columns were overwritten";
}

TEST(MakeVxlMap, FilesOfGeneratedMapsFitTheRoomAfterTheWorkspace) {
    // The workspace alone is 2 MiB, and a generated map's file a little more: the
    // room after it must take them, or every run pays for memory of its own.
    const std::unique_ptr<vxl_map_work> work = heap_vxl_map_work();
    std::size_t largest = 0;
    for (const std::int32_t seed : {1, 2, 3, 42, 99, 123, 271, 1000, -1, -77, 65535, INT32_MIN, INT32_MAX}) {
        prepare_vxl_map(seed, false, *work);
        largest = std::max(largest, prepared_vxl_map_size(*work));
    }
    EXPECT_GT(largest, sizeof(map_workspace));
    EXPECT_LE(largest, idle_workspace(*work).size());
    EXPECT_EQ(idle_workspace(*work).size(), GENERATED_FILE_ROOM);
}

TEST(MakeVxlMap, FileLargerThanTheWorkspaceGetsMemoryOfItsOwn) {
    // No seed is known to make one: columns alternately floor and solid to the
    // top, each tall one with 63 colours, make a file of some 33 MiB.
    const fresh_vxl_map_work work;
    for (int x = 0; x < MAP_SIZE; ++x) {
        for (int y = 0; y < MAP_SIZE; ++y) {
            (*work).columns.heights[column_index(x, y)] = (x + y) % 2 ? 63 : 0;
            (*work).columns.colours[column_index(x, y)] = 0x80000000u | std::uint32_t(column_index(x, y));
        }
    }
    bytes expected(prepared_vxl_map_size(*work));
    ASSERT_GT(expected.size(), idle_workspace(*work).size());
    ASSERT_EQ(encode_prepared_vxl_map(*work, expected), expected.size());
    file_buffer spare;
    const std::span<const std::uint8_t> file = encode_vxl_map_in_work(*work, spare);
    ASSERT_TRUE(spare);
    EXPECT_EQ(file.data(), spare.get());
    EXPECT_TRUE(std::equal(file.begin(), file.end(), expected.begin(), expected.end()));
}

TEST(MakeVxlMap, ThreadsAtOnceMakeTheSameFilesAsOneThread) {
    const std::int32_t seeds[] = {1, -1, INT32_MIN, 987654321};
    std::vector<bytes> expected;
    for (const std::int32_t seed : seeds)
        for (const bool start_regions : {false, true}) expected.push_back(make_vxl_map(seed, start_regions));

    // Each thread makes every map, starting at a map of its own, so that different
    // seeds and the same seed are both being made at the same time; every other
    // thread keeps its work from one map to the next, as a batch of maps does.
    constexpr int THREADS = 4;
    std::vector<std::vector<bytes>> made(THREADS, std::vector<bytes>(expected.size()));
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([&, t] {
            const auto work = t % 2 ? std::make_unique<vxl_map_work>() : nullptr;
            for (std::size_t i = 0; i < expected.size(); ++i) {
                const std::size_t map = (i + std::size_t(t) * 3) % expected.size();
                if (work)
                    make_vxl_map(seeds[map / 2], map % 2 == 1, *work, made[t][map]);
                else
                    made[t][map] = make_vxl_map(seeds[map / 2], map % 2 == 1);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < THREADS; ++t)
        for (std::size_t map = 0; map < expected.size(); ++map)
            EXPECT_TRUE(made[t][map] == expected[map]) << "thread " << t << ", map " << map;
}
