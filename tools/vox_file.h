// MagicaVoxel .vox files: the "VOX " header and a MAIN chunk whose children are
// models (a SIZE chunk, then an XYZI chunk of voxels x, y, z, colour index, one
// byte each), the scene graph that places them (nTRN transforms, nGRP groups,
// nSHP shapes, LAYR layers) and the RGBA palette. z is up in this format.
//
// Files come from strangers: every size is checked against the bytes that are
// really there before it is used, nothing is allocated by a claimed size (models
// and voxels are referred to where they lie in the caller's buffer), the scene
// graph must be a tree (so a cycle cannot loop), and all arithmetic on claimed
// coordinates is done in 64 bits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int VOX_MAX_MODEL_SIZE = 256;  // per axis
constexpr std::size_t VOX_VOXEL_BYTES = 4;

/// One model: its size and its voxels, in the parsed buffer.
struct vox_model {
    int size[3] = {0, 0, 0};
    const std::uint8_t* voxels = nullptr;  // count records of x, y, z, colour index
    std::size_t count = 0;
    int min[3] = {0, 0, 0}, max[3] = {-1, -1, -1};  // bounds of its voxels (colour index 0 left out)
};

/// A rotation of MagicaVoxel's kind: a signed permutation of the axes. Row r of
/// the matrix has sign[r] in column axis[r].
struct vox_rotation {
    int axis[3] = {0, 1, 2};
    int sign[3] = {1, 1, 1};
};

/// A placed copy of a model: voxel v of the model lands at world position
/// translation + rotation * (v - floor(size / 2)), MagicaVoxel's rule that a
/// model's translation is its centre.
struct vox_instance {
    std::size_t model = 0;
    vox_rotation rotation;
    std::int64_t translation[3] = {0, 0, 0};
};

struct vox_scene {
    int version = 0;
    std::vector<vox_model> models;
    std::vector<vox_instance> instances;  // what the editor shows: hidden nodes and layers left out
    std::array<std::uint32_t, 256> palette{};  // 0xRRGGBB for colour index i; entry 0 unused
    bool has_scene_graph = false;  // false: each model placed once, at the origin
};

/// Parses a .vox image. Returns false with a one-line reason for anything
/// malformed: the header, a chunk that runs past its parent, a model larger than
/// 256 on an axis or with a voxel outside it, a broken scene graph.
bool parse_vox(const std::uint8_t* data, std::size_t length, vox_scene* scene, std::string* reason);

/// World position of voxel record v (4 bytes) of instance's model.
void vox_world_position(const vox_scene& scene, const vox_instance& instance, const std::uint8_t* v,
                        std::int64_t out[3]);

/// MagicaVoxel's palette for files without an RGBA chunk, 0xRRGGBB by colour index.
std::array<std::uint32_t, 256> vox_default_palette();

/// A model to write: size, the translation of its centre, and its voxel records.
struct vox_out_model {
    int size[3];
    std::int64_t translation[3];
    std::vector<std::uint8_t> voxels;  // records of x, y, z, colour index (1..255)
};

/// A whole .vox file (version 150) of the models, each placed by its own nTRN
/// under one nGRP, with palette (0xRRGGBB for colour index 1 + i, up to 255).
std::vector<std::uint8_t> encode_vox(const std::vector<vox_out_model>& models, const std::vector<std::uint32_t>& palette);
