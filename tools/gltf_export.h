// A map as a glTF 2.0 binary (.glb) for 3D tools (Blender, three.js, model
// viewers): one mesh of the map's merged voxel faces (face_mesh.h), in metres
// (one voxel is one metre) with y up as glTF has it: glTF (X, Y, Z) = (map x,
// height above the map's bottom, map y), a right-handed frame, so nothing is
// mirrored; the map spans 0..512 x 0..64 x 0..512.
//
// Column-coloured faces take their colour from a 512 x 512 picture of the
// columns' top colours (texel (x, y) for column (x, y), sampled nearest up close),
// which lets them merge whatever their colour: a generated map needs about a
// third of the rectangles that merging by colour leaves. Other faces carry their
// colour in their vertices (linear light, as glTF asks). Normals are left out:
// viewers then shade every triangle flat, as voxels are.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/decoded_map.h"
#include "tools/face_mesh.h"

struct glb_export {
    std::vector<std::uint8_t> file;
    std::size_t quads = 0;  // merged rectangles, two triangles each
    std::size_t faces = 0;  // voxel faces they cover
};

/// The map as a .glb; name (any bytes) names the mesh's node.
glb_export export_glb(const decoded_map& map, const std::string& name);

/// text with every byte that is not part of well-formed UTF-8 replaced by U+FFFD:
/// glTF's JSON must be UTF-8, and a map's name may be any bytes.
std::string valid_utf8(const std::string& text);

/// The linear-light value (0..65535) of an sRGB level (0..255): glTF vertex
/// colours are linear, the map's colours are sRGB as any picture's.
std::uint16_t srgb_to_linear16(std::uint8_t level);

/// The quad's two triangles in glTF coordinates, corners in drawing order:
/// counter-clockwise seen from the side its face looks to, glTF's front face.
std::array<std::array<int, 3>, 6> quad_triangles(const face_quad& q);
