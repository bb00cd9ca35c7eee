#include "tools/decoded_map.h"

#include <gtest/gtest.h>

#include <tuple>

#include "tools/decoded_test_map.h"

namespace {

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
        const auto fields = [](const vxl_load_result& r) {
            return std::tie(r.ok, r.reason, r.fault.offset, r.record_bytes, r.trailing_bytes, r.spans, r.solid_voxels,
                            r.coloured_voxels);
        };
        EXPECT_EQ(fields(map.summary), fields(check)) << i;
    }
    const decoded_map map = decoded(valid);
    EXPECT_EQ(map.colours, (std::vector<std::uint32_t>{GREEN, RED, RED, GREEN}));
    EXPECT_EQ(map.first_colour[1], 3u);
    EXPECT_EQ(map.first_colour[VXL_RECORD_COUNT], 4u);
    EXPECT_EQ(shown_colour(map, 0, 12), RED);  // hidden: the nearest coloured voxel above
}

}  // namespace
