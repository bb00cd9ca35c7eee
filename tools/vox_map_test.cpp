#include "tools/vox_map.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>

#include "mapfile/vxl_fast_encoder.h"
#include "numerics/rng.h"
#include "terrain/map.h"
#include "volume/volume.h"

namespace {

/// The VXL file of the volume as it stands (generator orientation), decoded.
decoded_map decoded_volume() {
    const vxl_file_image image = encode_vxl_map_fast();
    decoded_map map;
    std::string why;
    EXPECT_TRUE(decode_map(image.bytes.get(), image.size, &map, &why)) << why;
    return map;
}

/// Exports map, reads the .vox back and places it in the volume; the map it then holds.
decoded_map through_vox(const decoded_map& map, vox_export* vox) {
    *vox = export_vox(map);
    vox_scene scene;
    vox_placement placement;
    std::string why;
    EXPECT_TRUE(parse_vox(vox->file.data(), vox->file.size(), &scene, &why)) << why;
    EXPECT_TRUE(place_vox_scene(scene, &placement, &why)) << why;
    EXPECT_FALSE(placement.by_bounds) << "an exported map lies in the map's frame";
    EXPECT_EQ(placement.overlapping, 0u);
    return decoded_volume();
}

/// A random volume with caves, overhangs, floating voxels and air columns in its
/// first 128 x-rows (air elsewhere), each run of voxels in one of the given number
/// of colours, in generator orientation.
void build_cave_volume(std::uint32_t seed, int colours) {
    clear_volume();
    std::mt19937 rng(seed);
    std::vector<std::uint32_t> palette(static_cast<std::size_t>(colours));
    for (auto& c : palette) c = 0x80000000u | (rng() & 0xFFFFFF);
    for (int x = 0; x < 128; ++x)
        for (int y = 0; y < 512; ++y) {
            if (rng() % 50 == 0) continue;
            bool solid = true;
            for (int z = 0; z < 64;) {
                const int run = 1 + int(rng() % (solid ? 20 : 6));
                const std::uint32_t colour = palette[rng() % palette.size()];
                for (int k = z; k < std::min(64, z + run); ++k) {
                    solid_map[voxel_index(x, y, k)] = solid;
                    color_map[voxel_index(x, y, k)] = colour;
                }
                z += run;
                solid = !solid;
            }
        }
}

TEST(VoxMap, MapsOfAtMost255ColoursComeBackWithEverySolidVoxelAndColour) {
    for (const int colours : {1, 255}) {
        SCOPED_TRACE(colours);
        build_cave_volume(std::uint32_t(colours), colours);
        const decoded_map map = decoded_volume();
        vox_export vox;
        const decoded_map back = through_vox(map, &vox);
        EXPECT_TRUE(vox.colours.exact);
        EXPECT_EQ(vox.models, 4u);
        EXPECT_TRUE(back.solid == map.solid) << "solid voxels differ";
        EXPECT_TRUE(back.coloured == map.coloured);
        EXPECT_TRUE(back.colours == map.colours) << "colours differ";
        std::size_t solid = 0;
        for (std::uint64_t s : map.solid) solid += std::size_t(std::popcount(s));
        EXPECT_EQ(vox.voxels, solid);
    }
    clear_volume();
}

TEST(VoxMap, GeneratedMapKeepsEverySolidVoxelAndItsColoursWithinTheReportedError) {
    clear_volume();
    debug_regions = 1;
    rng_seed(5);
    generate_map();
    const decoded_map map = decoded_volume();
    vox_export vox;
    const decoded_map back = through_vox(map, &vox);
    EXPECT_FALSE(vox.colours.exact);
    EXPECT_GT(vox.distinct_colours, 255u);
    EXPECT_EQ(vox.colours.palette.size(), 255u);
    EXPECT_TRUE(back.solid == map.solid);
    ASSERT_TRUE(back.coloured == map.coloured);
    double worst = 0;
    for (std::size_t i = 0; i < map.colours.size(); ++i) {
        double sum = 0;
        for (int shift : {0, 8, 16}) {
            const double d = double(map.colours[i] >> shift & 0xFF) - double(back.colours[i] >> shift & 0xFF);
            sum += d * d;
        }
        worst = std::max(worst, std::sqrt(sum));
        ASSERT_EQ(back.colours[i] >> 24, 0x80u);
    }
    EXPECT_LE(worst, vox.colours.max_error + 1e-9);
    EXPECT_LT(vox.colours.mean_error, 4.0);
    // The start regions' marking colours are kept exactly: they stand apart.
    EXPECT_EQ(back.colours[back.first_colour[map_entry(128, 200)]], 0x806060FFu);
    clear_volume();
}

/// A scene of one model of the given size, filled, placed at translation.
vox_scene solid_block(int sx, int sy, int sz, std::int64_t tx, std::int64_t ty, std::int64_t tz,
                     std::vector<std::uint8_t>* storage) {
    storage->clear();
    for (int x = 0; x < sx; ++x)
        for (int y = 0; y < sy; ++y)
            for (int z = 0; z < sz; ++z) storage->insert(storage->end(), {std::uint8_t(x), std::uint8_t(y), std::uint8_t(z), 7});
    vox_scene scene;
    vox_model model;
    model.size[0] = sx, model.size[1] = sy, model.size[2] = sz;
    model.voxels = storage->data();
    model.count = storage->size() / 4;
    model.min[0] = model.min[1] = model.min[2] = 0;
    model.max[0] = sx - 1, model.max[1] = sy - 1, model.max[2] = sz - 1;
    scene.models.push_back(model);
    scene.instances.push_back(vox_instance{0, {}, {tx, ty, tz}});
    scene.palette[7] = 0x123456;
    return scene;
}

TEST(VoxMap, ScenesArePlacedInTheMapsFrameOrCentredByTheirBounds) {
    std::vector<std::uint8_t> storage;
    const struct {
        const char* name;
        int size[3];
        std::int64_t t[3];
        bool by_bounds;
        int first[3];  // map x, y, generator z of the model's voxel (0, 0, 0)
    } cases[] = {
        // Translation (10, 20, 2): voxel 0 at world (9, 19, 0), map (265, 236) at height 0.
        {"in the frame", {2, 2, 4}, {10, 20, 2}, false, {265, 236, 0}},
        // At the origin a model hangs half below the floor: centred, lowest voxel on the floor.
        {"at the origin", {10, 10, 10}, {0, 0, 0}, true, {251, 260, 0}},
        {"far away", {4, 4, 4}, {5000, -5000, 900}, true, {254, 257, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const vox_scene scene = solid_block(c.size[0], c.size[1], c.size[2], c.t[0], c.t[1], c.t[2], &storage);
        vox_placement placement;
        std::string why;
        ASSERT_TRUE(place_vox_scene(scene, &placement, &why)) << why;
        EXPECT_EQ(placement.by_bounds, c.by_bounds);
        EXPECT_EQ(placement.voxels, std::size_t(c.size[0] * c.size[1] * c.size[2]));
        EXPECT_EQ(solid_map[voxel_index(c.first[0], c.first[1], c.first[2])], 1);
        EXPECT_EQ(color_map[voxel_index(c.first[0], c.first[1], c.first[2])], 0x80123456u);
        // .vox y runs the other way from map y.
        EXPECT_EQ(solid_map[voxel_index(c.first[0], c.first[1] - 1, c.first[2])], c.size[1] > 1);
        EXPECT_EQ(solid_map[voxel_index(c.first[0], c.first[1] + 1, c.first[2])], 0);
    }
    clear_volume();
}

TEST(VoxMap, ScenesThatDoNotFitAreRefused) {
    std::vector<std::uint8_t> storage;
    vox_scene tall = solid_block(1, 1, 65, 0, 0, 0, &storage);
    vox_placement placement;
    std::string why;
    EXPECT_FALSE(place_vox_scene(tall, &placement, &why));
    EXPECT_EQ(why, "the scene is 1 x 1 x 65 voxels; a map holds at most 512 x 512 x 64");

    vox_scene wide = solid_block(2, 1, 1, 0, 0, 0, &storage);
    wide.instances.push_back(vox_instance{0, {}, {511, 0, 0}});
    EXPECT_FALSE(place_vox_scene(wide, &placement, &why));
    EXPECT_EQ(why, "the scene is 513 x 1 x 1 voxels; a map holds at most 512 x 512 x 64");

    // A model reused more often than a map could hold costs no work.
    vox_scene reused = solid_block(1, 1, 1, 0, 0, 0, &storage);
    reused.models[0].count = 1 << 24;  // claimed; never read before the refusal
    reused.instances.push_back(reused.instances[0]);
    reused.instances.push_back(reused.instances[0]);
    EXPECT_FALSE(place_vox_scene(reused, &placement, &why));
    EXPECT_EQ(why, "the scene places more than 33554432 voxels, more than twice what a map holds");
    clear_volume();
}

}  // namespace
