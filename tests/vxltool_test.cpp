// vxltool as a user meets it: the built program run on map files in a fresh
// folder; what it prints, where, its exit status and the pictures it leaves.
#include <gtest/gtest.h>
#include <mapgen/mapgen.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <regex>

#include "mapfile/vxl_test_image.h"
#include "tests/process.h"

#ifdef VXLTOOL_BIN

namespace {

using words = std::vector<std::string>;

constexpr std::uint32_t GREEN = 0x8030D030, RED = 0x80D03030;

process_result vxltool(const words& after_name, const std::string& cwd = {}) {
    words argv = {VXLTOOL_BIN};
    argv.insert(argv.end(), after_name.begin(), after_name.end());
    return run_process(argv, cwd);
}

void save(const std::string& path, const vxl_bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

/// A small map: ground at z 50 everywhere, a green hill at (5, 2) and a red one at (300, 7).
vxl_bytes hills() {
    return vxl_image_from([](std::size_t k) {
        const std::uint32_t colour = k == vxl_record_number(300, 7) ? RED : GREEN;
        const int top = k == vxl_record_number(5, 2) || k == vxl_record_number(300, 7) ? 40 : 50;
        return vxl_record({vxl_span(0, std::uint8_t(top), std::uint8_t(top), 0, {colour})});
    });
}

/// width and height from a PNG file's IHDR chunk, or 0 x 0 when it is not a PNG
std::pair<std::uint32_t, std::uint32_t> png_size(const std::string& bytes) {
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    auto be32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4; ++i) v = v << 8 | std::uint8_t(bytes[at + i]);
        return v;
    };
    return {be32(16), be32(20)};
}

/// One error line in the tool's form, for the given what.
void expect_one_error_line(const process_result& r, const std::string& what) {
    EXPECT_EQ(r.err.rfind("vxltool: " + what + ": ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

class Vxltool : public ::testing::Test {
  protected:
    temp_dir dir;
    std::string good, other, broken;
    void SetUp() override {
        good = dir.file("good.vxl");
        other = dir.file("other.vxl");
        broken = dir.file("broken.vxl");
        const vxl_bytes image = hills();
        save(good, image);
        // The red hill turns green: one colour record differs. Every record of
        // this map is 8 bytes, its colour in the last 4.
        vxl_bytes changed = image;
        const std::size_t at = vxl_record_number(300, 7) * 8 + 4;
        changed[at] = 0x30, changed[at + 1] = 0xD0, changed[at + 2] = 0x30;
        save(other, changed);
        vxl_bytes cut = image;
        cut.resize(1006);
        save(broken, cut);
    }
};

TEST_F(Vxltool, HelpForTheToolAndEachCommandGoesToStdout) {
    const std::string asks[][2] = {{"--help", ""}, {"-h", ""},        {"check", "--help"}, {"info", "--help"},
                             {"render", "-h"}, {"diff", "--help"}};
    for (const auto& ask : asks) {
        words argv = {ask[0]};
        if (!ask[1].empty()) argv.push_back(ask[1]);
        SCOPED_TRACE(ask[0] + " " + ask[1]);
        const process_result r = vxltool(argv);
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.err, "");
        const std::string command = ask[1].empty() ? "COMMAND" : ask[0];
        EXPECT_EQ(r.out.rfind("usage: vxltool " + command, 0), 0u) << r.out;
    }
}

// The release, as the library and every file vxltool stamps name it.
TEST_F(Vxltool, VersionNamesTheRelease) {
    const process_result r = vxltool({"--version"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "vxltool " MAPGEN_VERSION "\n");
    EXPECT_EQ(r.out, std::string("vxltool ") + mapgen_version() + "\n");
}

TEST_F(Vxltool, UsageErrorsAreOneLineOnStderrAndStatus2) {
    const struct {
        words argv;
        const char* what;
    } cases[] = {
        {{}, "usage"},
        {{"frobnicate", good}, "frobnicate"},
        {{"check"}, "check"},
        {{"check", "--max-bytes", "lots", good}, "check"},
        {{"check", "-", "-"}, "check"},
        {{"info"}, "info"},
        {{"info", good, other}, "info"},
        {{"render", good}, "render"},
        {{"render", good, "-o"}, "render"},
        {{"render", good, "-o", "x.png", "--view", "side"}, "render"},
        {{"diff", good}, "diff"},
        {{"diff", good, other, good}, "diff"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const process_result r = vxltool(c.argv, dir.path());
        EXPECT_EQ(r.exit_status, 2);
        EXPECT_EQ(r.out, "");
        expect_one_error_line(r, c.what);
    }
    EXPECT_EQ(list_dir(dir.path()).size(), 3u) << "a usage error wrote a file";
}

TEST_F(Vxltool, CheckAnswersForEachFile) {
    process_result r = vxltool({"check", good});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, good + ": ok, 2097152 bytes, 262144 spans, 262144 colour records\n");
    EXPECT_EQ(r.err, "");

    r = vxltool({"check", good, broken});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.out, good + ": ok, 2097152 bytes, 262144 spans, 262144 colour records\n" + broken +
                         ": invalid: byte 1000, column (125, 0): top colours cut short: 1 colour record needs bytes up to "
                         "1008, the image ends at byte 1006\n");

    // A file that cannot be read outranks an invalid one, and the others are still checked.
    r = vxltool({"check", dir.file("missing.vxl"), broken, dir.path(), good});
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.err, "vxltool: " + dir.file("missing.vxl") + ": No such file or directory\nvxltool: " + dir.path() +
                         ": Is a directory\n");
    EXPECT_NE(r.out.find(broken + ": invalid: "), std::string::npos);
    EXPECT_NE(r.out.find(good + ": ok"), std::string::npos);

    vxl_bytes longer = hills();
    longer.insert(longer.end(), 7, 0xAB);
    save(dir.file("long.vxl"), longer);
    r = vxltool({"check", "--", dir.file("long.vxl")});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_NE(r.out.find(", 7 trailing bytes\n"), std::string::npos) << r.out;

    save(dir.file("empty.vxl"), {});
    r = vxltool({"check", dir.file("empty.vxl")});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.out, dir.file("empty.vxl") + ": invalid: byte 0, column (0, 0): empty image: no column records\n");
}

TEST_F(Vxltool, InfoTellsWhatTheMapHolds) {
    process_result r = vxltool({"info", good});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, "");
    for (const char* line : {"  bytes             2097152\n", "  trailing bytes    0\n", "  spans             262144\n",
                             "  colour records    262144\n", "  floor columns     0",
                             "  surface heights   13..23", "  distinct colours  2\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\nin:\n" << r.out;

    r = vxltool({"info", "--json", good});
    EXPECT_EQ(r.exit_status, 0);
    const std::regex json(
        R"(\{"valid": true, "bytes": 2097152, "record_bytes": 2097152, "trailing_bytes": 0, "columns": 262144, )"
        R"("spans": 262144, "solid_voxels": (\d+), "color_records": 262144, "colored_voxels": 262144, )"
        R"(.*"surface_min": 13, "surface_max": 23, )"
        R"("distinct_colors": 2, "version": ")" MAPGEN_VERSION R"("\}\n)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(r.out, m, json)) << r.out;
    EXPECT_EQ(m[1], std::to_string(262142 * 14 + 2 * 24));

    r = vxltool({"info", broken});
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.out, "");
    expect_one_error_line(r, broken);
    EXPECT_NE(r.err.find(": invalid: byte 1000, column (125, 0): "), std::string::npos);
}

TEST_F(Vxltool, InfoJsonAnswersForAMapThatIsNotValid) {
    save(dir.file("empty.vxl"), {});
    // Only a file that was read gets an answer; one that cannot be read is trouble alone.
    // The object is check --json's: the fault, its byte and its column apart.
    const struct {
        std::string path;
        const char* reason;  // null: nothing on stdout
        const char* json;
    } cases[] = {
        {broken, "byte 1000, column (125, 0): top colours cut short: 1 colour record needs bytes up to 1008, "
                 "the image ends at byte 1006",
         "{\"valid\": false, \"reason\": \"top colours cut short: 1 colour record needs bytes up to 1008, the image "
         "ends at byte 1006\", \"offset\": 1000, \"column\": [125, 0]}\n"},
        {dir.file("empty.vxl"), "byte 0, column (0, 0): empty image: no column records",
         "{\"valid\": false, \"reason\": \"empty image: no column records\", \"offset\": 0, \"column\": [0, 0]}\n"},
        {dir.file("missing.vxl"), nullptr, nullptr},
        {dir.path(), nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const process_result r = vxltool({"info", "--json", c.path});
        EXPECT_EQ(r.exit_status, 2);
        expect_one_error_line(r, c.path);
        if (c.reason) {
            EXPECT_EQ(r.out, c.json);
            EXPECT_EQ(r.err, "vxltool: " + c.path + ": invalid: " + c.reason + "\n");
        } else {
            EXPECT_EQ(r.out, "");
        }
    }
}

TEST_F(Vxltool, RenderWritesPngPreviews) {
    const struct {
        words view;
        std::uint32_t width, height;
    } cases[] = {{{}, 512, 512}, {{"--view", "top"}, 512, 512}, {{"--view=iso"}, 1024, 640}};
    for (const auto& c : cases) {
        const std::string out = dir.file("preview.png");
        words argv = {"render", good, "-o", out};
        argv.insert(argv.end(), c.view.begin(), c.view.end());
        const process_result r = vxltool(argv);
        EXPECT_EQ(r.exit_status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(png_size(read_file(out)), std::make_pair(c.width, c.height));
    }
}

TEST_F(Vxltool, RenderWritesOnlyPngAndRefusesNamesOfOtherFormats) {
    ASSERT_EQ(mkdir(dir.file("shots.jpg").c_str(), 0777), 0);
    const struct {
        const char* name;
        const char* refused_as;  // null: written as a PNG
    } cases[] = {
        {"top.jpg", "JPEG"},  {"TOP.JPEG", "JPEG"}, {"top.webp", "WebP"},       {"top.GIF", "GIF"},
        {"top.tiff", "TIFF"}, {"top.png.bmp", "BMP"}, {"top.png", nullptr},      {"TOP.PNG", nullptr},
        {"top", nullptr},     {"top.preview", nullptr}, {"shots.jpg/top.png", nullptr}, {".jpg", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = dir.file(c.name);
        const process_result r = vxltool({"render", good, "-o", out});
        if (c.refused_as) {
            EXPECT_EQ(r.exit_status, 2);
            EXPECT_EQ(r.out, "");
            expect_one_error_line(r, "render");
            EXPECT_NE(r.err.find("asks for " + std::string(c.refused_as) + ", but render writes only PNG"),
                      std::string::npos)
                << r.err;
            EXPECT_EQ(read_file(out), "") << "a refused name was written";
        } else {
            EXPECT_EQ(r.exit_status, 0) << r.err;
            EXPECT_EQ(png_size(read_file(out)), std::make_pair(512u, 512u));
        }
    }
}

TEST_F(Vxltool, RenderThatCannotWriteLeavesNoFileAndSaysWhy) {
    const std::string out = dir.file("no/such/folder/p.png");
    process_result r = vxltool({"render", good, "-o", out});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, "vxltool: " + out + ": No such file or directory\n");

    // An invalid map writes nothing and keeps the old picture.
    const std::string old = dir.file("old.png");
    save(old, {1, 2, 3});
    r = vxltool({"render", broken, "-o", old});
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(read_file(old), "\x01\x02\x03");
    EXPECT_EQ(list_dir(dir.path()).size(), 4u);
}

TEST_F(Vxltool, DiffComparesWhatTheMapsHold) {
    process_result r = vxltool({"diff", good, good});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, good + " and " + good + " hold the same map\n");

    r = vxltool({"diff", good, other});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "maps differ in 1 voxel of 1 column (A = " + good + ", B = " + other +
                         ")\n  column (300, 7) z 40: A solid, colour 0x80D03030; B solid, colour 0x8030D030\n");

    // Invalid input is trouble, not a difference.
    r = vxltool({"diff", good, broken});
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.out, "");
    expect_one_error_line(r, broken);
}

TEST_F(Vxltool, AnswerThatCannotBeWrittenIsTrouble) {
    const process_result r =
        run_process({"/bin/sh", "-c", std::string("exec '") + VXLTOOL_BIN + "' check '" + good + "' >/dev/full"});
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.err, "vxltool: standard output: No space left on device\n");
}

TEST_F(Vxltool, MapsWrittenByMapgenAreValid) {
    const std::string map = dir.file("seed1.vxl");
    const process_result made = run_process({MAPGEN_BIN, "-s", "1", "-o", map});
    ASSERT_EQ(made.exit_status, 0) << made.err;
    const process_result r = vxltool({"check", map});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out.rfind(map + ": ok, ", 0), 0u) << r.out;
    EXPECT_EQ(vxltool({"diff", map, map}).exit_status, 0);
    // The generator's own figures for this seed: 2,624 columns of height 0, the highest 26.
    const process_result info = vxltool({"info", map});
    EXPECT_NE(info.out.find("  floor columns     2624 "), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("  surface heights   0..26 "), std::string::npos) << info.out;
}

}  // namespace

#endif
