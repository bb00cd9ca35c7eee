// A map as a MagicaVoxel scene, and a scene as a map.
//
// Axes: .vox x = map x, .vox y = 511 - map y, .vox z = height above the map's
// floor (63 - file z). MagicaVoxel's z is up, and seen from above in the editor
// the map lies as `vxltool render` shows it (map y = 0 at the top). The scene's
// origin is the centre of the map's floor: world (wx, wy, wz) is map column
// (wx + 256, 255 - wy) at height wz. A map is written as four 256 x 256 x 64
// models that tile it, each placed by its own transform under one group.
//
// A .vox colours every voxel, a VXL file only the voxels that touch air: a
// hidden voxel takes the colour of the nearest coloured voxel above it in its
// column (else below; mid grey in a column with none), as the previews show it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mapfile/vxl_format.h"
#include "tools/colour_quantiser.h"
#include "tools/decoded_map.h"
#include "tools/vox_file.h"

struct vox_export {
    std::vector<std::uint8_t> file;
    std::size_t voxels = 0;
    std::size_t models = 0;
    std::size_t distinct_colours = 0;  // among the voxels, by red, green and blue
    quantised_colours colours;         // the palette and what reducing to it cost
};

/// The map as a .vox file of four models, palette of at most 255 colours.
vox_export export_vox(const decoded_map& map);

struct vox_placement {
    std::size_t voxels = 0;       // solid voxels of the map made
    std::size_t overlapping = 0;  // voxels that fell on an already solid voxel (the later one wins)
    bool by_bounds = false;       // the scene lay outside the map's frame and was placed by its bounds
    std::int64_t extent[3] = {0, 0, 0};  // size of the scene's bounds, x, y, z
};

/// At most this many voxels are placed from one scene: a map holds 16,777,216,
/// and a file that claims more (by reusing a model) is refused, not worked through.
constexpr std::size_t VOX_MAX_PLACED_VOXELS = 2 * VXL_RECORD_COUNT * VXL_COLUMN_DEPTH;

/// Where a scene goes in the map: map column (wx + shift[0], shift[1] - wy) at
/// height wz + shift[2] for world position (wx, wy, wz).
struct vox_frame {
    std::int64_t shift[3] = {256, 255, 0};
    bool by_bounds = false;       // the scene lay outside the map's frame and is placed by its bounds
    bool empty = true;            // the scene shows no voxel
    std::int64_t extent[3] = {0, 0, 0};  // size of the scene's bounds, x, y, z
};

/// Finds the frame for the scene from the bounds of its models. Returns false
/// with a reason when the scene does not fit the map or places too many voxels.
/// Every shown voxel of a scene that fits lands inside the map (vox_to_map).
bool frame_vox_scene(const vox_scene& scene, vox_frame* frame, std::string* reason);

/// Map x, y and generator z of world position w in frame.
void vox_to_map(const vox_frame& frame, const std::int64_t w[3], int out[3]);

/// Calls visit(m, v) for every shown voxel of every instance of the scene (colour
/// index not 0), in the order of the instances and of their models' records: m its
/// map x, y and generator z in frame, v its record (x, y, z, colour index).
template <class Visit>
void for_each_vox_voxel(const vox_scene& scene, const vox_frame& frame, Visit&& visit) {
    for (const vox_instance& instance : scene.instances) {
        const vox_model& model = scene.models[instance.model];
        for (std::size_t i = 0; i < model.count; ++i) {
            const std::uint8_t* v = model.voxels + i * VOX_VOXEL_BYTES;
            if (v[3] == 0) continue;
            std::int64_t w[3];
            int m[3];
            vox_world_position(scene, instance, v, w);
            vox_to_map(frame, w, m);
            visit(m, v);
        }
    }
}

/// Clears the volume and places every shown voxel of the scene in it (generator
/// orientation, z = 0 lowest) with colour 0x80RRGGBB. A scene that lies within
/// the map's frame keeps its place; one that does not but whose bounds fit in
/// 512 x 512 x 64 is centred on the map with its lowest voxel on the floor.
/// Returns false with a reason, the volume cleared, when it does not fit.
bool place_vox_scene(const vox_scene& scene, vox_placement* placement, std::string* reason);
