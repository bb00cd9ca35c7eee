#include "tools/face_mesh.h"

#include <gtest/gtest.h>

#include "tools/decoded_test_map.h"

namespace {

vxl_bytes air() { return vxl_bytes(VXL_AIR_COLUMN, VXL_AIR_COLUMN + 4); }

std::size_t area(const face_quad& q) { return std::size_t(q.u1 - q.u0) * std::size_t(q.v1 - q.v0); }

TEST(FaceMesh, OneVoxelHasSixFaces) {
    // A lone voxel at column (10, 20), file z 63 (height 0).
    const face_mesh mesh = mesh_map_faces(decoded(vxl_image({{vxl_record_number(10, 20), vxl_record({vxl_span(0, 63, 63, 0, {RED})})}})));
    ASSERT_EQ(mesh.quads.size(), 6u);
    EXPECT_EQ(mesh.faces, 6u);
    int seen[3][2] = {};
    for (const face_quad& q : mesh.quads) {
        EXPECT_EQ(area(q), 1u);
        EXPECT_TRUE(q.column_coloured);
        ++seen[q.axis][q.positive];
        const int expected_plane[3][2] = {{10, 11}, {20, 21}, {0, 1}};
        EXPECT_EQ(q.plane, expected_plane[q.axis][q.positive]);
    }
    for (auto& axis : seen) EXPECT_EQ(axis[0] + axis[1], 2);
}

TEST(FaceMesh, FlatGroundMergesIntoOneQuadPerSide) {
    // Ground of height 13 (file z 50) everywhere, columns of differing colours:
    // column-coloured faces merge whatever their colour.
    const face_mesh mesh = mesh_map_faces(decoded(vxl_image_from([](std::size_t k) {
        return vxl_record({vxl_span(0, 50, 50, 0, {k % 2 ? GREEN : RED})});
    })));
    EXPECT_EQ(mesh.quads.size(), 6u);
    std::size_t faces = 0;
    for (const face_quad& q : mesh.quads) faces += area(q);
    EXPECT_EQ(faces, mesh.faces);
    EXPECT_EQ(mesh.faces, 2u * 512 * 512 + 4u * 512 * 14);
}

TEST(FaceMesh, FacesOfOtherColoursThanTheirColumnsTopMergeOnlyByColour) {
    // Columns (0..3, 0): solid from file z 60 down, green at 60 (top) and red at
    // 62, which an air pocket at 62 of columns (0..3, 1) exposes.
    const face_mesh mesh = mesh_map_faces(decoded(vxl_image_from([](std::size_t k) {
        const int x = int(k % 512), y = int(k / 512);
        if (y == 0 && x < 4) return vxl_record({vxl_span(3, 60, 60, 0, {GREEN, RED}), vxl_span(0, 63, 62, 63)});
        if (y == 1 && x < 4) return vxl_record({vxl_span(3, 60, 60, 0, {GREEN, GREEN}), vxl_span(0, 63, 63, 62, {GREEN})});
        return air();
    })));
    std::size_t red_quads = 0;
    for (const face_quad& q : mesh.quads) {
        if (q.column_coloured) continue;
        EXPECT_EQ(q.rgb, 0xD03030u);
        ++red_quads;
    }
    // The red faces toward the pocket (+y at plane 1, height 1) merge into one 4 x 1 quad.
    ASSERT_GE(red_quads, 1u);
    bool found = false;
    for (const face_quad& q : mesh.quads)
        if (!q.column_coloured && q.axis == AXIS_Y && q.positive && q.plane == 1)
            found = q.u0 == 0 && q.u1 == 4 && q.v0 == 1 && q.v1 == 2;
    EXPECT_TRUE(found);
    const std::vector<std::uint32_t> tops = column_top_colours(decoded(vxl_image()));
    EXPECT_EQ(tops[map_entry(5, 5)], 0u) << "air columns have no colour";
}

}  // namespace
