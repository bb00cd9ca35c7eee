#include "tools/vox_map.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <unordered_map>

#include "mapfile/vxl_format.h"
#include "volume/volume.h"

namespace {

constexpr int SIZE = VXL_MAP_SIZE;
constexpr int TILE = 256;
constexpr int TILES = SIZE / TILE;
constexpr int DEPTH = VXL_COLUMN_DEPTH;
constexpr int PALETTE_SIZE = 255;
/// Colour key of a voxel in a column that carries no colour at all.
constexpr std::uint32_t UNCOLOURED = 0xFFFFFFFF;
constexpr std::uint32_t MID_GREY = 0x808080;

/// Colour key of solid voxel z of column entry: its colour as shown, 0xRRGGBB.
std::uint32_t voxel_key(const decoded_map& map, std::size_t entry, int z) {
    if (map.coloured[entry] == 0) return UNCOLOURED;
    return shown_colour(map, entry, z) & 0xFFFFFF;
}

}  // namespace

vox_export export_vox(const decoded_map& map) {
    vox_export out;
    std::unordered_map<std::uint32_t, std::uint64_t> counts;
    for (std::size_t entry = 0; entry < map.solid.size(); ++entry)
        for (std::uint64_t left = map.solid[entry]; left != 0; left &= left - 1) {
            ++counts[voxel_key(map, entry, std::countr_zero(left))];
            ++out.voxels;
        }
    std::vector<colour_count> histogram;
    for (const auto& [rgb, count] : counts)
        if (rgb != UNCOLOURED) histogram.push_back({rgb, count});
    // The hash map's order is its own; the quantiser must see the same order every run.
    std::sort(histogram.begin(), histogram.end(), [](const colour_count& a, const colour_count& b) { return a.rgb < b.rgb; });
    out.distinct_colours = histogram.size();
    out.colours = quantise_colours(histogram, PALETTE_SIZE);
    if (out.colours.palette.empty()) out.colours.palette.push_back(MID_GREY);

    std::unordered_map<std::uint32_t, std::uint8_t> index;  // colour key to colour index 1..255
    for (std::size_t i = 0; i < histogram.size(); ++i) index[histogram[i].rgb] = std::uint8_t(out.colours.index[i] + 1);
    index[UNCOLOURED] = std::uint8_t(nearest_palette_entry(out.colours.palette, MID_GREY) + 1);

    std::vector<vox_out_model> models(TILES * TILES);
    for (int ty = 0; ty < TILES; ++ty)
        for (int tx = 0; tx < TILES; ++tx) {
            vox_out_model& m = models[std::size_t(ty * TILES + tx)];
            m.size[0] = TILE, m.size[1] = TILE, m.size[2] = DEPTH;
            // A model's translation is its centre: voxel v lands at t + v - size / 2.
            m.translation[0] = tx * TILE + TILE / 2 - SIZE / 2;
            m.translation[1] = ty * TILE + TILE / 2 - SIZE / 2;
            m.translation[2] = DEPTH / 2;
        }
    for (int y = 0; y < SIZE; ++y)
        for (int x = 0; x < SIZE; ++x) {
            const std::size_t entry = map_entry(x, y);
            const int vy = SIZE - 1 - y;
            std::vector<std::uint8_t>& voxels = models[std::size_t((vy / TILE) * TILES + x / TILE)].voxels;
            for (std::uint64_t left = map.solid[entry]; left != 0; left &= left - 1) {
                const int z = std::countr_zero(left);
                voxels.insert(voxels.end(), {std::uint8_t(x % TILE), std::uint8_t(vy % TILE), std::uint8_t(DEPTH - 1 - z),
                                             index[voxel_key(map, entry, z)]});
            }
        }
    out.models = models.size();
    out.file = encode_vox(models, out.colours.palette);
    return out;
}

bool frame_vox_scene(const vox_scene& scene, vox_frame* frame, std::string* reason) {
    *frame = vox_frame{};
    std::size_t claimed = 0;
    for (const vox_instance& instance : scene.instances) {
        claimed += scene.models[instance.model].count;
        if (claimed > VOX_MAX_PLACED_VOXELS) {
            *reason = "the scene places more than " + std::to_string(VOX_MAX_PLACED_VOXELS) +
                      " voxels, more than twice what a map holds";
            return false;
        }
    }
    // Bounds of the shown voxels, from the bounds of each model's voxels.
    std::int64_t lo[3], hi[3];
    for (int a = 0; a < 3; ++a) lo[a] = std::numeric_limits<std::int64_t>::max(), hi[a] = std::numeric_limits<std::int64_t>::min();
    for (const vox_instance& instance : scene.instances) {
        const vox_model& model = scene.models[instance.model];
        if (model.max[0] < model.min[0]) continue;  // no coloured voxel
        for (int corner = 0; corner < 8; ++corner) {
            std::uint8_t v[4];
            for (int a = 0; a < 3; ++a) v[a] = std::uint8_t(corner >> a & 1 ? model.max[a] : model.min[a]);
            std::int64_t w[3];
            vox_world_position(scene, instance, v, w);
            for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], w[a]), hi[a] = std::max(hi[a], w[a]);
        }
    }
    if (lo[0] > hi[0]) return true;  // nothing to place: a map of air
    frame->empty = false;
    for (int a = 0; a < 3; ++a) frame->extent[a] = hi[a] - lo[a] + 1;
    const std::int64_t limits[3] = {SIZE, SIZE, DEPTH};
    for (int a = 0; a < 3; ++a)
        if (frame->extent[a] > limits[a]) {
            *reason = "the scene is " + std::to_string(frame->extent[0]) + " x " + std::to_string(frame->extent[1]) +
                      " x " + std::to_string(frame->extent[2]) + " voxels; a map holds at most 512 x 512 x 64";
            return false;
        }
    const std::int64_t* shift = frame->shift;
    const bool in_frame = lo[0] + shift[0] >= 0 && hi[0] + shift[0] < SIZE && shift[1] - hi[1] >= 0 &&
                          shift[1] - lo[1] < SIZE && lo[2] + shift[2] >= 0 && hi[2] + shift[2] < DEPTH;
    if (!in_frame) {
        frame->by_bounds = true;
        frame->shift[0] = (SIZE - frame->extent[0]) / 2 - lo[0];
        frame->shift[1] = (SIZE - frame->extent[1]) / 2 + hi[1];
        frame->shift[2] = -lo[2];
    }
    return true;
}

void vox_to_map(const vox_frame& frame, const std::int64_t w[3], int out[3]) {
    out[0] = int(w[0] + frame.shift[0]);
    out[1] = int(frame.shift[1] - w[1]);
    out[2] = int(w[2] + frame.shift[2]);
}

bool place_vox_scene(const vox_scene& scene, vox_placement* placement, std::string* reason) {
    *placement = vox_placement{};
    clear_volume();
    vox_frame frame;
    if (!frame_vox_scene(scene, &frame, reason)) return false;
    placement->by_bounds = frame.by_bounds;
    for (int a = 0; a < 3; ++a) placement->extent[a] = frame.extent[a];
    for_each_vox_voxel(scene, frame, [&](const int m[3], const std::uint8_t* v) {
        std::uint8_t& solid = solid_map[voxel_index(m[0], m[1], m[2])];
        placement->overlapping += solid;
        placement->voxels += 1 - solid;
        solid = 1;
        color_map[voxel_index(m[0], m[1], m[2])] = 0x80000000u | scene.palette[v[3]];
    });
    return true;
}
