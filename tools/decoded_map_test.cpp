#include "tools/decoded_map.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <tuple>

#include "tools/decoded_test_map.h"

namespace {

const auto summary_fields = [](const vxl_load_result& r) {
    return std::tie(r.ok, r.read_failed, r.reason, r.fault.offset, r.bytes, r.record_bytes, r.trailing_bytes, r.spans,
                    r.solid_voxels, r.coloured_voxels);
};

// Checked and decoded in one pass: the summary must be check_vxl_map's, for a
// valid image and for faults in the first record, the last and past the end.
TEST(DecodedMap, SummaryIsTheChecksForValidAndInvalidImages) {
    vxl_bytes valid = vxl_image({
        {0, vxl_record({vxl_span(3, 10, 11, 0, {GREEN, RED}), vxl_span(0, 40, 40, 30, {RED})})},
        {VXL_RECORD_COUNT - 1, vxl_record({vxl_span(0, 63, 63, 0, {GREEN})})},
    });
    valid.push_back(7);  // a trailing byte
    vxl_bytes first_bad = valid, last_bad = valid, short_image = valid;
    first_bad[1] = 70;                         // top_start out of range
    last_bad[last_bad.size() - 1 - 6] = 0xFF;  // the last record's top_end
    short_image.resize(short_image.size() - 10);
    const vxl_bytes* const images[] = {&valid, &first_bad, &last_bad, &short_image};
    for (int i = 0; i < 4; ++i) {
        const vxl_bytes* image = images[i];
        const vxl_load_result check = check_vxl_map(image->data(), image->size());
        EXPECT_EQ(check.ok, i == 0) << i;
        decoded_map map;
        std::string why;
        EXPECT_EQ(decode_map(image->data(), image->size(), &map, &why), check.ok);
        EXPECT_EQ(why, check.reason);
        EXPECT_EQ(summary_fields(map.summary), summary_fields(check)) << i;
    }
    const decoded_map map = decoded(valid);
    EXPECT_EQ(map.colours, (std::vector<std::uint32_t>{GREEN, RED, RED, GREEN}));
    EXPECT_EQ(map.first_colour[1], 3u);
    EXPECT_EQ(map.first_colour[VXL_RECORD_COUNT], 4u);
    EXPECT_EQ(shown_colour(map, 0, 12), RED);  // hidden: the nearest coloured voxel above
}

// Decoded as the file is read: read_vxl_file's verdict, and decode_map's map.
TEST(DecodedMap, ReadFromAFileIsTheFileReadersVerdictAndTheDecodedImage) {
    vxl_bytes valid =
        vxl_image({{5, vxl_record({vxl_span(2, 20, 22, 0, {RED, GREEN, RED}), vxl_span(0, 50, 50, 30, {RED})})}});
    valid.push_back(9);
    vxl_bytes bad = valid;
    bad[bad.size() - 1 - 6] = 0xFF;  // the last record's top_end
    char path[] = "/tmp/decoded_map_test_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    for (const vxl_bytes* image : {&valid, &bad}) {
        ASSERT_EQ(ftruncate(fd, 0), 0);
        ASSERT_EQ(pwrite(fd, image->data(), image->size(), 0), ssize_t(image->size()));
        for (const std::uint64_t limit : {VXL_ANY_SIZE, std::uint64_t(image->size() - 1)}) {
            decoded_map map;
            std::string why;
            const vxl_load_result read = read_vxl_file(path, limit);
            EXPECT_EQ(read_and_decode_map(path, limit, nullptr, &map, &why), read.ok);
            EXPECT_EQ(summary_fields(map.summary), summary_fields(read));
            EXPECT_EQ(why, read.reason);
            if (!read.ok) continue;
            const decoded_map whole = decoded(*image);
            EXPECT_EQ(std::tie(map.solid, map.coloured, map.first_colour, map.colours),
                      std::tie(whole.solid, whole.coloured, whole.first_colour, whole.colours));
        }
    }
    close(fd);
    unlink(path);
    decoded_map map;
    std::string why;
    EXPECT_FALSE(read_and_decode_map("/nonexistent/map.vxl", VXL_ANY_SIZE, nullptr, &map, &why));
    EXPECT_TRUE(map.summary.read_failed);
    EXPECT_FALSE(why.empty());
}

}  // namespace
