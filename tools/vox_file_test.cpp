#include "tools/vox_file.h"

#include <gtest/gtest.h>

#include "tools/vox_test_file.h"

namespace {

using namespace vox_test;

bool parses(const bytes& file, vox_scene* scene, std::string* why) { return parse_vox(file.data(), file.size(), scene, why); }

TEST(VoxFile, WrittenScenesParseBackWithTheirModelsPlacesAndPalette) {
    std::vector<vox_out_model> models(2);
    models[0] = {{256, 256, 64}, {-128, -128, 32}, {0, 0, 0, 1, 255, 255, 63, 2}};
    models[1] = {{3, 2, 1}, {100, -7, 0}, {2, 1, 0, 3}};
    const std::vector<std::uint32_t> palette = {0x102030, 0xFFFFFF, 0x0000FF};
    const bytes file = encode_vox(models, palette);
    vox_scene scene;
    std::string why;
    ASSERT_TRUE(parses(file, &scene, &why)) << why;
    EXPECT_EQ(scene.version, 150);
    EXPECT_TRUE(scene.has_scene_graph);
    ASSERT_EQ(scene.models.size(), 2u);
    ASSERT_EQ(scene.instances.size(), 2u);
    EXPECT_EQ(scene.models[0].count, 2u);
    EXPECT_EQ(scene.models[0].max[2], 63);
    EXPECT_EQ(scene.palette[1], 0x102030u);
    EXPECT_EQ(scene.palette[3], 0x0000FFu);
    // World position = translation + v - floor(size / 2).
    const struct {
        std::size_t instance, voxel;
        std::int64_t world[3];
    } places[] = {{0, 0, {-256, -256, 0}}, {0, 1, {-1, -1, 63}}, {1, 0, {101, -7, 0}}};
    for (const auto& p : places) {
        std::int64_t w[3];
        const vox_instance& instance = scene.instances[p.instance];
        vox_world_position(scene, instance, scene.models[instance.model].voxels + 4 * p.voxel, w);
        EXPECT_EQ(std::vector<std::int64_t>(w, w + 3), std::vector<std::int64_t>(p.world, p.world + 3));
    }
}

TEST(VoxFile, TransformsComposeDownTheTreeAndHiddenNodesAreLeftOut) {
    // Root moves by (10, 0, 0); its group holds a transform rotated by _r 1
    // (x' = y, y' = x, z' = z: row 0 takes column 1), a hidden transform, and one
    // on a hidden layer.
    const bytes file = vox_file(join({model(2, 4, 1, {{{1, 3, 0, 5}}}), transform(0, 1, -1, {{"_t", "10 0 0"}}),
                                      group(1, {2, 4, 6}), transform(2, 3, 0, {{"_t", "0 0 5"}, {"_r", "1"}}), shape(3, 0),
                                      transform(4, 5, 0, {}, {{"_hidden", "1"}}), shape(5, 0), transform(6, 7, 1, {}),
                                      shape(7, 0), chunk("LAYR", join({ints({1}), dict({{"_hidden", "1"}}), ints({-1})}))}));
    vox_scene scene;
    std::string why;
    ASSERT_TRUE(parses(file, &scene, &why)) << why;
    ASSERT_EQ(scene.instances.size(), 1u);
    std::int64_t w[3];
    vox_world_position(scene, scene.instances[0], scene.models[0].voxels, w);
    // local (1 - 1, 3 - 2, 0) = (0, 1, 0), rotated (1, 0, 0), moved by (10, 0, 5).
    EXPECT_EQ(w[0], 11);
    EXPECT_EQ(w[1], 0);
    EXPECT_EQ(w[2], 5);
}

TEST(VoxFile, AFileWithoutSceneGraphOrPaletteHasEachModelOnceAndTheEditorsColours) {
    vox_scene scene;
    std::string why;
    ASSERT_TRUE(parses(vox_file(join({model(1, 1, 1, {{{0, 0, 0, 1}}}), model(2, 2, 2, {})})), &scene, &why)) << why;
    EXPECT_FALSE(scene.has_scene_graph);
    EXPECT_EQ(scene.instances.size(), 2u);
    const std::array<std::uint32_t, 256> p = vox_default_palette();
    EXPECT_EQ(scene.palette, p);
    const std::pair<int, std::uint32_t> known[] = {{1, 0xFFFFFF}, {2, 0xFFFFCC}, {7, 0xFFCCFF}, {215, 0x000033},
                                                    {216, 0xEE0000}, {226, 0x00EE00}, {236, 0x0000EE}, {255, 0x111111}};
    for (const auto& [index, rgb] : known) EXPECT_EQ(p[std::size_t(index)], rgb) << index;
}

TEST(VoxFile, MalformedFilesAreRefusedWithAReason) {
    const bytes one = model(1, 1, 1, {{{0, 0, 0, 1}}});
    bytes cut_main = vox_file(one);
    cut_main.resize(cut_main.size() - 3);
    bytes huge_voxels = join({chunk("SIZE", ints({4, 4, 4})), chunk("XYZI", ints({0x7FFFFFFF, 0}))});
    bytes huge_chunk = join({bytes{'n', 'G', 'R', 'P'}, ints({0x7FFFFFF0, 0})});
    const struct {
        const char* name;
        bytes file;
        const char* reason;
    } cases[] = {
        {"empty", {}, "not a MagicaVoxel .vox file (no 'VOX ' header)"},
        {"a PNG", bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10}, "not a MagicaVoxel .vox file (no 'VOX ' header)"},
        {"no MAIN", join({bytes{'V', 'O', 'X', ' '}, ints({150}), chunk("PACK", ints({1}))}), "no MAIN chunk after the header"},
        {"MAIN cut short", cut_main, "MAIN: runs past the end of the file"},
        {"no model", vox_file(chunk("PACK", ints({0}))), "the file holds no model"},
        {"model of size 0", vox_file(model(0, 1, 1, {})), "SIZE: model size 0 is not 1 to 256"},
        {"model of size 257", vox_file(model(4, 257, 1, {})), "SIZE: model size 257 is not 1 to 256"},
        {"voxel outside", vox_file(model(2, 2, 2, {{{0, 2, 0, 1}}})), "XYZI: voxel 0 lies outside its model"},
        {"claims 2^31 voxels", vox_file(huge_voxels), "XYZI: claims 2147483647 voxels, more than its chunk holds"},
        {"chunk claims 2 GiB", vox_file(join({one, huge_chunk})), "MAIN: chunk 'nGRP' runs past the end of its parent"},
        {"SIZE alone", vox_file(chunk("SIZE", ints({1, 1, 1}))), "SIZE: not followed by an XYZI chunk"},
        {"XYZI alone", vox_file(chunk("XYZI", ints({0}))), "MAIN: an XYZI chunk without a SIZE chunk before it"},
        {"palette cut short", vox_file(join({one, chunk("RGBA", bytes(1000, 0))})), "RGBA: palette cut short"},
        {"cycle", vox_file(join({one, transform(0, 1, -1, {}), group(1, {0})})),
         "scene graph: node 0 is reached twice (a cycle or a shared node)"},
        {"missing node", vox_file(join({one, transform(0, 9, -1, {})})), "scene graph: node 9 is missing"},
        {"no root", vox_file(join({one, shape(3, 0)})), "scene graph: node 0 is missing"},
        {"model out of range", vox_file(join({one, transform(0, 1, -1, {}), shape(1, 4)})),
         "scene graph: shape node 1 refers to model 4, and the file has 1"},
        {"node twice", vox_file(join({one, shape(1, 0), shape(1, 0)})), "nSHP: node 1 given twice"},
        {"bad translation", vox_file(join({one, transform(0, 1, -1, {{"_t", "1 2"}}), shape(1, 0)})),
         "nTRN: translation '1 2' is not three integers within 16,777,216"},
        {"far translation", vox_file(join({one, transform(0, 1, -1, {{"_t", "1 2 99999999"}}), shape(1, 0)})),
         "nTRN: translation '1 2 99999999' is not three integers within 16,777,216"},
        {"bad rotation", vox_file(join({one, transform(0, 1, -1, {{"_r", "5"}}), shape(1, 0)})),
         "nTRN: rotation '5' is not a rotation"},
        {"dictionary claims 2^31 entries", vox_file(join({one, chunk("nSHP", join({ints({1}), ints({0x7FFFFFFF})}))})),
         "nSHP: a dictionary claims more entries than fit"},
        {"string past chunk", vox_file(join({one, chunk("nSHP", join({ints({1, 1, 1000}), bytes(9, 'a')}))})),
         "nSHP: a string runs past its chunk"},
        {"group claims 2^30 children", vox_file(join({one, chunk("nGRP", join({ints({1}), dict({}), ints({1 << 30})}))})),
         "nGRP: a group claims more children than fit"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        vox_scene scene;
        std::string why;
        EXPECT_FALSE(parses(c.file, &scene, &why));
        EXPECT_EQ(why, c.reason);
    }
}

TEST(VoxFile, EveryCutOfAValidFileIsRefusedOrReadWithoutOverrun) {
    // Under the sanitizers this proves that no prefix makes the parser read past it.
    const bytes file = vox_file(join({model(3, 3, 3, {{{0, 1, 2, 9}}, {{2, 2, 2, 1}}}), transform(0, 1, -1, {{"_t", "0 0 1"}}),
                                      group(1, {2}), transform(2, 3, 0, {{"_r", "4"}}), shape(3, 0),
                                      chunk("RGBA", bytes(1024, 7))}));
    for (std::size_t n = 0; n < file.size(); ++n) {
        const bytes prefix(file.begin(), file.begin() + std::ptrdiff_t(n));
        vox_scene scene;
        std::string why;
        if (!parses(prefix, &scene, &why)) {
            EXPECT_FALSE(why.empty()) << n;
        }
    }
    vox_scene scene;
    std::string why;
    EXPECT_TRUE(parses(file, &scene, &why)) << why;
}

}  // namespace
