// The scene graph of a .vox file as the reader hands it to the walk: nodes by id
// (transforms, groups, shapes), the layers that are hidden, and the rotations of
// MagicaVoxel's kind. Shared by vox_file.cpp, which reads the chunks, and
// vox_scene.cpp, which walks the tree; not for other users.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/vox_file.h"

enum class vox_node_kind { transform, group, shape };

struct vox_node {
    vox_node_kind kind;
    std::vector<std::int32_t> children;  // transform: one; group: any; shape: none
    std::int32_t model = -1;             // shape only
    std::int32_t layer = -1;             // transform only
    bool hidden = false;
    vox_rotation rotation;
    std::int64_t translation[3] = {0, 0, 0};
};

/// Everything the chunks say before the scene graph is walked.
struct vox_chunks {
    std::map<std::int32_t, vox_node> nodes;
    std::map<std::int32_t, bool> hidden_layers;
    bool has_palette = false;
};

/// out = r * v
void vox_rotate(const vox_rotation& r, const std::int64_t v[3], std::int64_t out[3]);

/// Walks the tree from node 0 and lists an instance for every shape the editor
/// shows in scene->instances. A node reached a second time (a cycle or a shared
/// child), a missing node, a tree deeper than MAX_SCENE_DEPTH or a shape of a
/// model the file lacks is malformed: false with the reason.
bool walk_vox_scene(const vox_chunks& chunks, vox_scene* scene, std::string* reason);
