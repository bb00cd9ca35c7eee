// vxltool's sharing side as a user meets it: thumbnails and scaled previews,
// the page of one map, and a gallery folder written, run again and refused.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>

#include "mapfile/vxl_test_image.h"
#include "tests/process.h"

#ifdef VXLTOOL_BIN

namespace {

using words = std::vector<std::string>;

constexpr std::uint32_t GREEN = 0x8030D030, RED = 0x80D03030;

process_result vxltool(const words& after_name) {
    words argv = {VXLTOOL_BIN};
    argv.insert(argv.end(), after_name.begin(), after_name.end());
    return run_process(argv);
}

void save(const std::string& path, const vxl_bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

/// ground at z 50 with a hill of the given colour at (x, 9)
vxl_bytes hill_at(int x, std::uint32_t colour) {
    return vxl_image_from([=](std::size_t k) {
        const int top = k == vxl_record_number(x, 9) ? 40 : 50;
        return vxl_record({vxl_span(0, std::uint8_t(top), std::uint8_t(top), 0, {k % 2 ? GREEN : colour})});
    });
}

std::pair<std::uint32_t, std::uint32_t> png_size(const std::string& bytes) {
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
    auto be32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4; ++i) v = v << 8 | std::uint8_t(bytes[at + i]);
        return v;
    };
    return {be32(16), be32(20)};
}

bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

void expect_one_error_line(const process_result& r, const std::string& start) {
    EXPECT_EQ(r.err.rfind("vxltool: " + start, 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

class Publish : public ::testing::Test {
  protected:
    temp_dir dir;
    std::string a, b, broken;
    void SetUp() override {
        a = dir.file("a.vxl");
        b = dir.file("b.vxl");
        broken = dir.file("broken.vxl");
        save(a, hill_at(5, RED));
        save(b, hill_at(300, 0x803030D0));
        vxl_bytes cut = hill_at(5, RED);
        cut.resize(1006);
        save(broken, cut);
    }
};

TEST_F(Publish, RenderMakesThumbnailsAndLargerViewsThatNameTheTool) {
    const struct {
        words options;
        std::uint32_t width, height;
    } cases[] = {
        {{"--size", "16"}, 16, 16},
        {{"--size=128"}, 128, 128},
        {{"--view", "iso", "--size", "300"}, 300, 300},
        {{"--size", "4096"}, 4096, 4096},
        {{"--scale", "2"}, 1024, 1024},
        {{"--view", "iso", "--scale=3"}, 3072, 1920},
        {{"--scale", "1"}, 512, 512},
    };
    const std::string out = dir.file("out.png");
    for (const auto& c : cases) {
        words argv = {"render", a, "-o", out};
        argv.insert(argv.end(), c.options.begin(), c.options.end());
        const process_result r = vxltool(argv);
        SCOPED_TRACE(argv[4]);
        ASSERT_EQ(r.exit_status, 0) << r.err;
        const std::string png = read_file(out);
        EXPECT_EQ(png_size(png), std::make_pair(c.width, c.height));
        static const char software[] = "tEXtSoftware\0vxltool " MAPGEN_VERSION;
        EXPECT_NE(png.find(std::string(software, sizeof software - 1)), std::string::npos);
    }
}

TEST_F(Publish, RenderRefusesSizesAndScalesOutOfRange) {
    const words bad[] = {{"--size", "15"}, {"--size", "4097"}, {"--size", "12x"}, {"--size", ""},
                         {"--scale", "0"}, {"--scale", "5"},   {"--scale", "-1"}, {"--size", "64", "--scale", "2"}};
    for (const words& options : bad) {
        words argv = {"render", a, "-o", dir.file("no.png")};
        argv.insert(argv.end(), options.begin(), options.end());
        const process_result r = vxltool(argv);
        SCOPED_TRACE(options[0] + " " + options[1]);
        EXPECT_EQ(r.exit_status, 2);
        expect_one_error_line(r, "render: ");
        EXPECT_FALSE(exists(dir.file("no.png")));
    }
}

TEST_F(Publish, PageIsOneFileOrNothing) {
    const std::string page = dir.file("a.html");
    process_result r = vxltool({"page", a, "-o", page});
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind(page + ": page of a, ", 0), 0u) << r.out;
    const std::string html = read_file(page);
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(html.find("<title>a · VXL map</title>"), std::string::npos);
    EXPECT_LT(html.size(), 16u << 20);

    // An invalid map: the loader's reason, and the page that stood there stays.
    r = vxltool({"page", broken, "-o", page});
    EXPECT_EQ(r.exit_status, 2);
    expect_one_error_line(r, broken + ": invalid: byte 1000, column (125, 0): ");
    EXPECT_EQ(read_file(page), html);
    r = vxltool({"page", broken, "-o", dir.file("new.html")});
    EXPECT_FALSE(exists(dir.file("new.html")));

    // Nowhere to write it.
    const struct {
        std::string output, reason;
    } unwritable[] = {{dir.file("no/such/folder/a.html"), "No such file or directory"},
                      {dir.path(), "Is a directory"}};
    for (const auto& c : unwritable) {
        r = vxltool({"page", a, "-o", c.output});
        EXPECT_EQ(r.exit_status, 1) << c.output;
        EXPECT_EQ(r.err, "vxltool: " + c.output + ": " + c.reason + "\n");
    }
    for (const words& argv : {words{"page", a}, words{"page", "-o", page}, words{"page", a, b, "-o", page}}) {
        r = vxltool(argv);
        EXPECT_EQ(r.exit_status, 2);
        expect_one_error_line(r, "page: ");
    }
}

TEST_F(Publish, GalleryHoldsAPageThumbnailAndCopyOfEachMap) {
    const std::string site = dir.file("site");
    process_result r = vxltool({"gallery", a, b, "-o", site, "--title", "Our <maps>"});
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "a: maps/a.vxl, its page and thumbnail\nb: maps/b.vxl, its page and thumbnail\n" + site +
                         "/index.html: 2 maps, 2 new or updated\n");
    EXPECT_EQ(list_dir(site), (std::vector<std::string>{"index.html", "maps", "pages", "thumbs"}));
    EXPECT_EQ(list_dir(site + "/maps"), (std::vector<std::string>{"a.vxl", "b.vxl"}));
    EXPECT_EQ(list_dir(site + "/pages"), (std::vector<std::string>{"a.html", "b.html"}));
    EXPECT_EQ(list_dir(site + "/thumbs"), (std::vector<std::string>{"a.png", "b.png"}));
    EXPECT_EQ(read_file(site + "/maps/b.vxl"), read_file(b));
    EXPECT_EQ(png_size(read_file(site + "/thumbs/a.png")), std::make_pair(256u, 256u));
    const std::string index = read_file(site + "/index.html");
    EXPECT_NE(index.find("<title>Our &lt;maps&gt;</title>"), std::string::npos);
    for (const char* link : {"href=\"pages/a.html\"", "src=\"thumbs/b.png\"", "href=\"maps/b.vxl\" download"})
        EXPECT_NE(index.find(link), std::string::npos) << link;
    EXPECT_NE(read_file(site + "/pages/a.html").find("href=\"../index.html\""), std::string::npos);
}

TEST_F(Publish, GalleryRunAgainUpdatesWhatIsGivenKeepsTheRestAndDeletesNothing) {
    const std::string site = dir.file("site");
    ASSERT_EQ(vxltool({"gallery", a, b, "-o", site}).exit_status, 0);
    save(site + "/notes.txt", {'h', 'i'});
    save(site + "/maps/readme.md", {'x'});
    const std::string page_a = read_file(site + "/pages/a.html");
    std::remove((site + "/thumbs/b.png").c_str());

    // b changes, c is new, a is not given again.
    save(b, hill_at(400, RED));
    const std::string c = dir.file("c.vxl");
    save(c, hill_at(100, GREEN));
    process_result r = vxltool({"gallery", b, c, "-o", site});
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_NE(r.out.find("/index.html: 3 maps, 2 new or updated\n"), std::string::npos) << r.out;
    EXPECT_EQ(read_file(site + "/maps/b.vxl"), read_file(b));
    EXPECT_EQ(read_file(site + "/pages/a.html"), page_a) << "a's page was not rewritten";
    EXPECT_TRUE(exists(site + "/thumbs/b.png")) << "a missing thumbnail is made again";
    EXPECT_EQ(read_file(site + "/notes.txt"), "hi");
    EXPECT_EQ(read_file(site + "/maps/readme.md"), "x");
    const std::string index = read_file(site + "/index.html");
    for (const char* name : {"data-name=\"a\"", "data-name=\"b\"", "data-name=\"c\""})
        EXPECT_NE(index.find(name), std::string::npos) << name;

    // Without maps the index is rebuilt from maps/; a copy spoilt there is left out.
    save(site + "/maps/c.vxl", {1, 2, 3});
    r = vxltool({"gallery", "-o", site});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_NE(r.err.find("vxltool: " + site + "/maps/c.vxl: invalid: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("vxltool: " + site + "/maps/c.vxl: left out of the index\n"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("/index.html: 2 maps, 0 new or updated\n"), std::string::npos) << r.out;
    EXPECT_TRUE(exists(site + "/pages/c.html")) << "its page stays";
}

TEST_F(Publish, GalleryIsTheSameFileForFileAndLineForLineWhateverTheJobs) {
    const std::string c = dir.file("c.vxl"), d = dir.file("d.vxl");
    save(c, hill_at(100, GREEN));
    save(d, hill_at(300, RED));
    const std::string one = dir.file("one"), four = dir.file("four");
    const process_result first = vxltool({"gallery", a, b, c, d, "-o", one, "-j", "1"});
    ASSERT_EQ(first.exit_status, 0) << first.err;
    const process_result r = vxltool({"gallery", d, c, b, a, "-o", four, "-j4"});
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.substr(0, r.out.rfind(four)), first.out.substr(0, first.out.rfind(one))) << "in the names' order";
    for (const char* folder : {"/maps", "/pages", "/thumbs"}) {
        ASSERT_EQ(list_dir(four + folder), list_dir(one + folder)) << folder;
        for (const std::string& file : list_dir(one + folder))
            EXPECT_EQ(read_file(four + folder + "/" + file), read_file(one + folder + "/" + file)) << file;
    }
    EXPECT_EQ(read_file(four + "/index.html"), read_file(one + "/index.html"));

    for (const words& jobs : {words{"-j", "0"}, words{"-j1025"}, words{"-jx"}, words{"-j"}}) {
        words argv = {"gallery", a, "-o", dir.file("never")};
        argv.insert(argv.end(), jobs.begin(), jobs.end());
        const process_result bad = vxltool(argv);
        EXPECT_EQ(bad.exit_status, 2) << jobs.back();
        expect_one_error_line(bad, "gallery: ");
    }
    EXPECT_FALSE(exists(dir.file("never")));
}

TEST_F(Publish, GalleryWritesNothingForBadInputAndSaysWhereItCannotWrite) {
    const std::string site = dir.file("site");
    process_result r = vxltool({"gallery", a, broken, "-o", site});
    EXPECT_EQ(r.exit_status, 2);
    expect_one_error_line(r, broken + ": invalid: byte 1000, column (125, 0): ");
    EXPECT_FALSE(exists(site));

    const std::string other_a = dir.file("other");
    ASSERT_EQ(mkdir(other_a.c_str(), 0777), 0);
    save(other_a + "/a.vxl", hill_at(1, GREEN));
    r = vxltool({"gallery", a, other_a + "/a.vxl", "-o", site});
    EXPECT_EQ(r.exit_status, 2);
    expect_one_error_line(r, "gallery: '" + a + "' and '" + other_a + "/a.vxl' would both be the map 'a'");
    EXPECT_FALSE(exists(site));

    save(dir.file("plain"), {'x'});
    const struct {
        std::string folder, complaint;
    } unwritable[] = {{dir.file("plain"), dir.file("plain") + ": Not a directory"},
                      {dir.file("missing/site"), dir.file("missing/site") + ": No such file or directory"}};
    for (const auto& c : unwritable) {
        r = vxltool({"gallery", a, "-o", c.folder});
        EXPECT_EQ(r.exit_status, 1) << c.folder;
        EXPECT_EQ(r.err, "vxltool: " + c.complaint + "\n");
        EXPECT_EQ(r.out, "");
    }
    r = vxltool({"gallery", a});
    EXPECT_EQ(r.exit_status, 2);
    expect_one_error_line(r, "gallery: ");
}

}  // namespace

#endif
