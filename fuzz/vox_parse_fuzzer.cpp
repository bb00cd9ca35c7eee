// Feeds arbitrary bytes to the .vox reader and frames what it accepts. Under the
// sanitizers any read outside the input ends the run; on top of that its
// promises are checked: a refused file says why, every voxel of an accepted
// model lies inside its model, and every shown voxel of a scene that fits lands
// inside the map.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mapfile/vxl_format.h"
#include "tools/vox_file.h"
#include "tools/vox_map.h"

namespace {

// Scenes that place more voxels are framed but not walked voxel by voxel, to
// keep every run short.
constexpr std::size_t WALKED_VOXELS = 1 << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vox_scene scene;
    std::string reason;
    if (!parse_vox(data, size, &scene, &reason)) {
        if (reason.empty()) std::abort();
        return 0;
    }
    std::size_t placed = 0;
    for (const vox_model& m : scene.models) {
        if (m.voxels < data || m.voxels + m.count * VOX_VOXEL_BYTES > data + size) std::abort();
        for (int a = 0; a < 3; ++a)
            if (m.size[a] < 1 || m.size[a] > VOX_MAX_MODEL_SIZE) std::abort();
    }
    for (const vox_instance& instance : scene.instances) {
        if (instance.model >= scene.models.size()) std::abort();
        placed += scene.models[instance.model].count;
    }
    vox_frame frame;
    if (!frame_vox_scene(scene, &frame, &reason)) {
        if (reason.empty()) std::abort();
        return 0;
    }
    if (placed > WALKED_VOXELS) return 0;
    for_each_vox_voxel(scene, frame, [](const int m[3], const std::uint8_t*) {
        if (m[0] < 0 || m[0] >= VXL_MAP_SIZE || m[1] < 0 || m[1] >= VXL_MAP_SIZE || m[2] < 0 || m[2] >= VXL_COLUMN_DEPTH)
            std::abort();
    });
    return 0;
}
