// The surface of a map's solid voxels as coloured rectangles, for 3D formats.
// Every face of a solid voxel whose neighbour is air, or lies outside the map
// (the map's four sides, its underside and the top of a full column), is drawn
// in the colour of its voxel as the previews show it (a hidden voxel takes the
// nearest colour above it in its column).
//
// Generated maps give every column one colour, different from its neighbours'
// more often than not, so faces of one colour rarely meet. Faces in the colour
// of their column's top voxel are therefore "column-coloured": a 3D format can
// draw them from a picture of the columns' top colours, and they merge whatever
// their colour. Other faces merge only with faces of their own colour.
// Coplanar faces that merge become rectangles by greedy meshing: along a row
// first, then down as far as whole rows match.
//
// Coordinates are the map's: x and y its columns, h the height above the
// bottom of the map (63 - file z); voxel (x, y, h) fills [x, x+1] x [y, y+1] x [h, h+1].
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/decoded_map.h"

/// Axes of the map, in the order of a quad's coordinates.
enum face_axis : std::uint8_t { AXIS_X = 0, AXIS_Y = 1, AXIS_H = 2 };

/// One merged rectangle in the plane axis = plane, facing toward +axis when
/// positive. (u, v) are the two other axes in increasing order: (y, h) for
/// AXIS_X, (x, h) for AXIS_Y, (x, y) for AXIS_H; the rectangle spans
/// [u0, u1] x [v0, v1].
struct face_quad {
    face_axis axis;
    bool positive;
    std::int16_t plane;
    std::int16_t u0, v0, u1, v1;
    bool column_coloured;  // every face in the colour of its column's top voxel
    std::uint32_t rgb;     // 0xRRGGBB; 0 for a column-coloured quad
};

struct face_mesh {
    std::vector<face_quad> quads;
    std::size_t faces = 0;  // voxel faces before merging
};

/// The merged faces of the map's solid voxels.
face_mesh mesh_map_faces(const decoded_map& map);

/// Colour of the top solid voxel of every column as shown, 0xRRGGBB, in picture
/// order (entry y * 512 + x); 0 for a column of air.
std::vector<std::uint32_t> column_top_colours(const decoded_map& map);
