#include "tools/gltf_export.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tools/decoded_test_map.h"

namespace {

std::uint32_t u32_at(const std::vector<std::uint8_t>& b, std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, &b[at], 4);
    return v;
}

TEST(Gltf, NamesBecomeValidUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"map \"1\"\t", "map \"1\"\t"},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x97\xBA", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x97\xBA"},
        {"latin-1 \xE9t\xE9", "latin-1 \xEF\xBF\xBDt\xEF\xBF\xBD"},
        {"overlong \xC0\xAF", "overlong \xEF\xBF\xBD\xEF\xBF\xBD"},
        {"surrogate \xED\xA0\x80", "surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"beyond \xF4\x90\x80\x80", "beyond \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"cut \xE2\x82", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},
        {std::string("nul\0", 4), std::string("nul\0", 4)},
    };
    for (const auto& [text, utf8] : cases) EXPECT_EQ(valid_utf8(text), utf8) << text;
}

TEST(Gltf, SrgbLevelsBecomeLinearLight) {
    EXPECT_EQ(srgb_to_linear16(0), 0);
    EXPECT_EQ(srgb_to_linear16(255), 65535);
    EXPECT_EQ(srgb_to_linear16(10), 199);  // the straight part: 10 / 255 / 12.92
    EXPECT_EQ(srgb_to_linear16(128), 14146);  // mid grey is 21.6% light
    for (int i = 1; i < 256; ++i) EXPECT_GT(srgb_to_linear16(std::uint8_t(i)), srgb_to_linear16(std::uint8_t(i - 1)));
}

TEST(Gltf, TrianglesTurnCounterClockwiseSeenFromWhereTheirFaceLooks) {
    for (const face_axis axis : {AXIS_X, AXIS_Y, AXIS_H})
        for (const bool positive : {false, true}) {
            const face_quad q{axis, positive, 5, 1, 2, 4, 3, true, 0};
            const auto t = quad_triangles(q);
            // glTF axis of the normal: map x -> X, height -> Y, map y -> Z.
            const int gltf_axis = axis == AXIS_X ? 0 : axis == AXIS_H ? 1 : 2;
            for (int k = 0; k < 2; ++k) {
                const auto &a = t[std::size_t(3 * k)], &b = t[std::size_t(3 * k + 1)], &c = t[std::size_t(3 * k + 2)];
                const int e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
                const int n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
                EXPECT_EQ(n[gltf_axis], positive ? 3 : -3) << int(axis) << positive << k;
                EXPECT_EQ(n[(gltf_axis + 1) % 3], 0);
                EXPECT_EQ(n[(gltf_axis + 2) % 3], 0);
                EXPECT_EQ(a[std::size_t(gltf_axis)], 5) << "the quad lies in its plane";
            }
        }
}

TEST(Gltf, BinaryContainerHoldsAlignedJsonAndBufferChunks) {
    const vxl_bytes hill = vxl_image({{vxl_record_number(3, 3), vxl_record({vxl_span(0, 60, 60, 0, {0x80FF0000})})}});
    const vxl_bytes maps[] = {vxl_image(), hill};
    for (const vxl_bytes& image : maps) {
        const glb_export glb = export_glb(decoded(image), "hill \"1\"");
        const std::vector<std::uint8_t>& f = glb.file;
        ASSERT_GE(f.size(), 20u);
        EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "glTF");
        EXPECT_EQ(u32_at(f, 4), 2u);
        EXPECT_EQ(u32_at(f, 8), f.size());
        const std::uint32_t json_length = u32_at(f, 12);
        EXPECT_EQ(json_length % 4, 0u);
        EXPECT_EQ(std::string(f.begin() + 16, f.begin() + 20), "JSON");
        const std::string json(f.begin() + 20, f.begin() + 20 + json_length);
        EXPECT_NE(json.find("\"generator\":\"vxltool " MAPGEN_VERSION "\""), std::string::npos) << json;
        EXPECT_NE(json.find("\"name\":\"hill \\\"1\\\"\""), std::string::npos);
        const std::size_t bin_at = 20 + json_length;
        if (glb.quads == 0) {
            EXPECT_EQ(f.size(), bin_at) << "a map of air has no buffer";
            continue;
        }
        EXPECT_EQ(glb.quads, 6u) << "a column of four voxels: top, bottom and four sides";
        EXPECT_EQ(u32_at(f, bin_at), f.size() - bin_at - 8);
        EXPECT_EQ(std::string(f.begin() + std::ptrdiff_t(bin_at) + 4, f.begin() + std::ptrdiff_t(bin_at) + 8),
                  std::string("BIN\0", 4));
    }
}

}  // namespace
