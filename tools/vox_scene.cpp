// Walking the scene graph of a .vox file: transforms and rotations composed from
// the root down to each shape the editor shows.
#include "tools/vox_scene_graph.h"

namespace {

constexpr int MAX_SCENE_DEPTH = 256;  // nodes from the root to a shape

/// Rotation a * b.
vox_rotation compose(const vox_rotation& a, const vox_rotation& b) {
    vox_rotation r;
    for (int row = 0; row < 3; ++row) {
        r.axis[row] = b.axis[a.axis[row]];
        r.sign[row] = a.sign[row] * b.sign[a.axis[row]];
    }
    return r;
}

}  // namespace

void vox_rotate(const vox_rotation& r, const std::int64_t v[3], std::int64_t out[3]) {
    for (int row = 0; row < 3; ++row) out[row] = r.sign[row] * v[r.axis[row]];
}

bool walk_vox_scene(const vox_chunks& chunks, vox_scene* scene, std::string* reason) {
    struct walk_step {
        std::int32_t node;
        int depth;
        vox_rotation rotation;
        std::int64_t translation[3];
    };
    std::map<std::int32_t, bool> seen;
    std::vector<walk_step> stack{{0, 0, {}, {0, 0, 0}}};
    while (!stack.empty()) {
        const walk_step step = stack.back();
        stack.pop_back();
        const auto it = chunks.nodes.find(step.node);
        if (it == chunks.nodes.end()) {
            *reason = "scene graph: node " + std::to_string(step.node) + " is missing";
            return false;
        }
        if (seen[step.node]) {
            *reason = "scene graph: node " + std::to_string(step.node) + " is reached twice (a cycle or a shared node)";
            return false;
        }
        seen[step.node] = true;
        if (step.depth > MAX_SCENE_DEPTH) {
            *reason = "scene graph: nested deeper than " + std::to_string(MAX_SCENE_DEPTH) + " nodes";
            return false;
        }
        const vox_node& node = it->second;
        if (node.hidden) continue;
        if (node.kind == vox_node_kind::transform) {
            if (auto layer = chunks.hidden_layers.find(node.layer); layer != chunks.hidden_layers.end() && layer->second)
                continue;
            walk_step next{node.children[0], step.depth + 1, compose(step.rotation, node.rotation), {0, 0, 0}};
            vox_rotate(step.rotation, node.translation, next.translation);
            for (int i = 0; i < 3; ++i) next.translation[i] += step.translation[i];
            stack.push_back(next);
        } else if (node.kind == vox_node_kind::group) {
            for (auto child = node.children.rbegin(); child != node.children.rend(); ++child)
                stack.push_back(walk_step{*child, step.depth + 1, step.rotation,
                                     {step.translation[0], step.translation[1], step.translation[2]}});
        } else {
            if (node.model < 0 || std::size_t(node.model) >= scene->models.size()) {
                *reason = "scene graph: shape node " + std::to_string(step.node) + " refers to model " +
                          std::to_string(node.model) + ", and the file has " + std::to_string(scene->models.size());
                return false;
            }
            vox_instance instance;
            instance.model = std::size_t(node.model);
            instance.rotation = step.rotation;
            for (int i = 0; i < 3; ++i) instance.translation[i] = step.translation[i];
            scene->instances.push_back(instance);
        }
    }
    return true;
}

void vox_world_position(const vox_scene& scene, const vox_instance& instance, const std::uint8_t* v,
                        std::int64_t out[3]) {
    const vox_model& model = scene.models[instance.model];
    const std::int64_t local[3] = {v[0] - model.size[0] / 2, v[1] - model.size[1] / 2, v[2] - model.size[2] / 2};
    vox_rotate(instance.rotation, local, out);
    for (int i = 0; i < 3; ++i) out[i] += instance.translation[i];
}
