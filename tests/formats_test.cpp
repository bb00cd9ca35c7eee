// vxltool export and import as a map maker meets them: the built programs run on
// maps, pictures and .vox files in a fresh folder; round trips through the
// programs, and every bad input a clear error with no output.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "mapfile/vxl_test_image.h"
#include "tests/process.h"
#include "tools/vox_test_file.h"

#if defined(VXLTOOL_BIN) && defined(MAPGEN_BIN)

namespace {

using words = std::vector<std::string>;
using namespace vox_test;

process_result vxltool(const words& after_name) {
    words argv = {VXLTOOL_BIN};
    argv.insert(argv.end(), after_name.begin(), after_name.end());
    return run_process(argv);
}

void save(const std::string& path, const std::vector<std::uint8_t>& data) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

void save(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

class Formats : public ::testing::Test {
  protected:
    temp_dir dir;
    std::string file(const std::string& name) const { return dir.file(name); }
    void generate(const std::string& flags, int seed, const std::string& path) {
        words argv = {MAPGEN_BIN, "-s", std::to_string(seed), "-o", path};
        if (!flags.empty()) argv.insert(argv.begin() + 1, flags);
        ASSERT_EQ(run_process(argv).exit_status, 0);
    }
};

TEST_F(Formats, HeightmapRoundTripOfGeneratedMapsGivesTheSameFileByteForByte) {
    for (const std::string flags : {"", "-d"})
        for (const int seed : {3, -20}) {
            SCOPED_TRACE(flags + " " + std::to_string(seed));
            generate(flags, seed, file("map.vxl"));
            process_result r = vxltool({"export", file("map.vxl"), "--heightmap", file("h.png"), "--colours", file("c.png")});
            EXPECT_EQ(r.exit_status, 0) << r.err;
            EXPECT_EQ(r.err, "") << "a generated map has no caves to report";
            EXPECT_NE(r.out.find(file("h.png") + ": heightmap, 512 x 512, surface heights "), std::string::npos) << r.out;
            r = vxltool({"import", "--heightmap", file("h.png"), "--colors", file("c.png"), "-o", file("back.vxl")});
            EXPECT_EQ(r.exit_status, 0) << r.err;
            EXPECT_EQ(r.out, file("back.vxl") + ": 512 x 512 columns from " + file("h.png") + " and " + file("c.png") + "\n");
            EXPECT_TRUE(read_file(file("back.vxl")) == read_file(file("map.vxl")));
        }
}

TEST_F(Formats, CavesAreReportedAndOnlyTheTopSurfaceIsKept) {
    // Column (4, 5): solid at file z 40, air 41..47, solid 48..63.
    save(file("cave.vxl"), vxl_image({{vxl_record_number(4, 5), vxl_record({vxl_span(2, 40, 40, 0, {0x80FF0000}),
                                                                            vxl_span(0, 48, 48, 41, {0x80FF0000})})}}));
    process_result r = vxltool({"export", file("cave.vxl"), "--heightmap", file("h.png")});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, "vxltool: " + file("cave.vxl") +
                         ": 1 columns have caves or overhangs; the heightmap keeps only their top surface\n");
    EXPECT_NE(r.out.find("262143 columns of air (transparent)"), std::string::npos) << r.out;
    r = vxltool({"import", "--heightmap", file("h.png"), "-o", file("ground.vxl")});
    ASSERT_EQ(r.exit_status, 0) << r.err;
    r = vxltool({"info", file("ground.vxl")});
    EXPECT_NE(r.out.find("solid voxels      24\n"), std::string::npos) << "the top, 23 voxels up, down to the floor: " << r.out;
    EXPECT_NE(r.out.find("empty columns     262143\n"), std::string::npos) << r.out;
}

TEST_F(Formats, VoxRoundTripKeepsEveryVoxelAndColourOfAFewColouredMap) {
    // A heightmap import without colours has one colour; the .vox keeps it exactly.
    generate("", 8, file("map.vxl"));
    ASSERT_EQ(vxltool({"export", file("map.vxl"), "--heightmap", file("h.png")}).exit_status, 0);
    ASSERT_EQ(vxltool({"import", "--heightmap", file("h.png"), "-o", file("plain.vxl")}).exit_status, 0);
    process_result r = vxltool({"export", file("plain.vxl"), file("plain.vox")});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("in 4 models of 256 x 256 x 64, 1 colours, all of the map's\n"), std::string::npos) << r.out;
    r = vxltool({"import", file("plain.vox"), "-o", file("back.vxl")});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    r = vxltool({"diff", file("plain.vxl"), file("back.vxl")});
    EXPECT_EQ(r.exit_status, 0) << r.out;

    // A generated map's colours are reduced, and stderr says how and at what cost.
    r = vxltool({"export", file("map.vxl"), file("map.VOX")});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err.rfind("vxltool: " + file("map.VOX") + ": ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(" colours reduced to 255 by median cut and "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("RGB distance to the map's colours: mean "), std::string::npos) << r.err;
}

TEST_F(Formats, GlbExportIsAGltfBinary) {
    generate("-d", 9, file("map.vxl"));
    const process_result r = vxltool({"export", file("map.vxl"), file("map.glb")});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_NE(r.out.find(" rectangles covering "), std::string::npos) << r.out;
    const std::string glb = read_file(file("map.glb"));
    EXPECT_EQ(glb.substr(0, 4), "glTF");
    EXPECT_LT(glb.size(), std::size_t{24} << 20);
}

/// A file of the given size that takes no room on disk.
void sparse_file(const std::string& path, off_t size) {
    std::ofstream(path).close();
    ASSERT_EQ(truncate(path.c_str(), size), 0);
}

TEST_F(Formats, BadInputsAreOneClearErrorAndNoOutput) {
    generate("", 1, file("map.vxl"));
    ASSERT_EQ(vxltool({"export", file("map.vxl"), "--heightmap", file("h.png"), "--colours", file("c.png")}).exit_status, 0);
    ASSERT_EQ(vxltool({"render", file("map.vxl"), "-o", file("iso.png"), "--view", "iso"}).exit_status, 0);
    const std::string heightmap = read_file(file("h.png"));
    save(file("cut.png"), heightmap.substr(0, heightmap.size() / 3));
    save(file("text.png"), std::string("just some text\n"));
    save(file("empty.png"), std::string());
    sparse_file(file("huge.png"), off_t{1} << 30);
    sparse_file(file("huge.vox"), off_t{1} << 32);
    const bytes one = model(1, 1, 1, {{{0, 0, 0, 1}}});
    save(file("big-model.vox"), vox_file(model(300, 2, 2, {})));
    save(file("claims.vox"), vox_file(join({chunk("SIZE", ints({4, 4, 4})), chunk("XYZI", ints({0x7FFFFFFF}))})));
    save(file("huge-chunk.vox"), vox_file(join({one, bytes{'n', 'T', 'R', 'N'}, ints({0x7FFFFFF0, 0x7FFFFFF0})})));
    save(file("cycle.vox"), vox_file(join({one, transform(0, 1, -1, {}), group(1, {2}), transform(2, 1, 0, {})})));
    save(file("too-wide.vox"), vox_file(join({one, one, transform(0, 1, -1, {}), group(1, {2, 4}), transform(2, 3, 0, {{"_t", "-300 0 0"}}),
                                              shape(3, 0), transform(4, 5, 0, {{"_t", "300 0 0"}}), shape(5, 1)})));
    save(file("too-tall.vox"), vox_file(join({one, one, transform(0, 1, -1, {}), group(1, {2, 4}), transform(2, 3, 0, {{"_t", "0 0 0"}}),
                                              shape(3, 0), transform(4, 5, 0, {{"_t", "0 0 64"}}), shape(5, 1)})));
    save(file("not.vox"), heightmap);

    const struct {
        words argv;
        int status;
        std::string error;  // the whole stderr
    } cases[] = {
        {{"import", "--heightmap", file("text.png"), "-o", file("out.vxl")}, 2, file("text.png") + ": not a PNG file"},
        {{"import", "--heightmap", file("empty.png"), "-o", file("out.vxl")}, 2, file("empty.png") + ": not a PNG file"},
        {{"import", "--heightmap", file("iso.png"), "-o", file("out.vxl")}, 2,
         file("iso.png") + ": the picture is 1024 x 640 pixels; it must be 512 x 512"},
        {{"import", "--heightmap", file("h.png"), "--colours", file("iso.png"), "-o", file("out.vxl")}, 2,
         file("iso.png") + ": the picture is 1024 x 640 pixels; it must be 512 x 512"},
        {{"import", "--heightmap", file("cut.png"), "-o", file("out.vxl")}, 2, file("cut.png") + ": the PNG file is cut short"},
        {{"import", "--heightmap", file("missing.png"), "-o", file("out.vxl")}, 2, file("missing.png") + ": No such file or directory"},
        {{"import", "--heightmap", dir.path(), "-o", file("out.vxl")}, 2, dir.path() + ": Is a directory"},
        {{"import", "--heightmap", file("huge.png"), "-o", file("out.vxl")}, 2,
         file("huge.png") + ": 1073741824 bytes, more than any heightmap needs (64 MiB)"},
        {{"import", file("huge.vox"), "-o", file("out.vxl")}, 2, file("huge.vox") + ": 4294967296 bytes, more than any .vox needs (256 MiB)"},
        {{"import", file("not.vox"), "-o", file("out.vxl")}, 2, file("not.vox") + ": not a MagicaVoxel .vox file (no 'VOX ' header)"},
        {{"import", file("big-model.vox"), "-o", file("out.vxl")}, 2, file("big-model.vox") + ": SIZE: model size 300 is not 1 to 256"},
        {{"import", file("claims.vox"), "-o", file("out.vxl")}, 2, file("claims.vox") + ": XYZI: claims 2147483647 voxels, more than its chunk holds"},
        {{"import", file("huge-chunk.vox"), "-o", file("out.vxl")}, 2, file("huge-chunk.vox") + ": MAIN: chunk 'nTRN' runs past the end of its parent"},
        {{"import", file("cycle.vox"), "-o", file("out.vxl")}, 2,
         file("cycle.vox") + ": scene graph: node 1 is reached twice (a cycle or a shared node)"},
        {{"import", file("too-wide.vox"), "-o", file("out.vxl")}, 2,
         file("too-wide.vox") + ": the scene is 601 x 1 x 1 voxels; a map holds at most 512 x 512 x 64"},
        {{"import", file("too-tall.vox"), "-o", file("out.vxl")}, 2,
         file("too-tall.vox") + ": the scene is 1 x 1 x 65 voxels; a map holds at most 512 x 512 x 64"},
        {{"export", file("text.png"), file("out.vox")}, 2, file("text.png") + ": invalid: "},
        {{"import", "--heightmap", file("h.png"), "-o", file("no-such-folder/out.vxl")}, 1,
         file("no-such-folder/out.vxl") + ": No such file or directory"},
        {{"export", file("map.vxl"), file("no-such-folder/out.glb")}, 1, file("no-such-folder/out.glb") + ": No such file or directory"},
        {{"export", file("map.vxl")}, 2, "export: no output given: OUT.vox, OUT.glb or --heightmap (see 'vxltool export --help')"},
        {{"export", file("map.vxl"), file("out.obj")}, 2,
         "export: '" + file("out.obj") + "' names no known format: end it in .vox or .glb (see 'vxltool export --help')"},
        {{"export", file("map.vxl"), "--colours", file("c2.png")}, 2, "export: --colours needs --heightmap (see 'vxltool export --help')"},
        {{"import", "--heightmap", file("h.png")}, 2, "import: no output given: -o MAP (see 'vxltool import --help')"},
        {{"import", file("a.vox"), file("b.vox"), "-o", file("out.vxl")}, 2,
         "import: give either one IN.vox or --heightmap (see 'vxltool import --help')"},
        {{"import", "--heightmap"}, 2, "import: option '--heightmap' needs a value (see 'vxltool import --help')"},
        {{"import", "--frobnicate", "-o", file("out.vxl")}, 2, "import: unknown option '--frobnicate' (see 'vxltool import --help')"},
    };
    const std::vector<std::string> before = list_dir(dir.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argv[0] + " " + c.argv[1]);
        const process_result r = vxltool(c.argv);
        EXPECT_EQ(r.exit_status, c.status);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("vxltool: " + c.error, 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_EQ(list_dir(dir.path()), before) << "a failed command left a file";

    // A failed import leaves the map that stood at its output as it was.
    save(file("out.vxl"), std::string("old"));
    EXPECT_EQ(vxltool({"import", "--heightmap", file("cut.png"), "-o", file("out.vxl")}).exit_status, 2);
    EXPECT_EQ(read_file(file("out.vxl")), "old");
}

TEST_F(Formats, HelpTextsDescribeTheFormats) {
    for (const char* command : {"export", "import"}) {
        const process_result r = vxltool({command, "--help"});
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.out.rfind(std::string("usage: vxltool ") + command, 0), 0u);
        EXPECT_NE(r.out.find("--heightmap H.png"), std::string::npos);
    }
}

}  // namespace

#endif
