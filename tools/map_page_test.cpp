#include "tools/map_page.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <regex>

#include "tools/decoded_test_map.h"
#include "tools/gallery.h"
#include "tools/web_assets.h"

namespace {

/// base64 back to bytes (the test's own decoder, to check the page's data)
std::vector<std::uint8_t> unbase64(const std::string& text) {
    static const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::vector<std::uint8_t> out;
    std::uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=') break;
        const std::size_t v = digits.find(c);
        EXPECT_NE(v, std::string::npos) << "not base64: " << c;
        bits = bits << 6 | std::uint32_t(v);
        if ((count += 6) >= 8) out.push_back(std::uint8_t(bits >> (count -= 8)));
    }
    return out;
}

/// the text between the first occurrence of before (after from) and the next after
std::string between(const std::string& text, const std::string& before, const std::string& after) {
    const std::size_t a = text.find(before);
    if (a == std::string::npos) return "";
    const std::size_t b = text.find(after, a + before.size());
    return b == std::string::npos ? "" : text.substr(a + before.size(), b - a - before.size());
}

struct page_parts {
    vxl_bytes image;
    decoded_map map;
    map_info info;
    std::string html;
};

page_parts page_of(vxl_bytes image, const std::string& name, const std::string& back = "") {
    page_parts page;
    page.image = std::move(image);
    std::string why;
    EXPECT_TRUE(decode_map(page.image.data(), page.image.size(), &page.map, &why)) << why;
    page.info = summarize_map(page.map);
    map_page_input input;
    input.name = name;
    input.file_name = name + ".vxl";
    input.data = page.image.data();
    input.length = page.image.size();
    input.back_href = back;
    EXPECT_TRUE(build_map_page(input, page.map, page.info, &page.html, &why)) << why;
    return page;
}

vxl_bytes hills() {
    return vxl_image_from([](std::size_t k) {
        const int top = k == vxl_record_number(5, 2) ? 40 : 50;
        return vxl_record({vxl_span(0, std::uint8_t(top), std::uint8_t(top), 0, {k % 3 ? GREEN : RED})});
    });
}

TEST(MapPage, NamesComeFromTheFileName) {
    const char* const cases[][2] = {
        {"island.vxl", "island"}, {"maps/Island.VXL", "Island"}, {"/srv/maps/a.b.vxl", "a.b"},
        {"noext", "noext"},       {".vxl", ".vxl"},               {"dir/", "dir"},
        {"-", "map"},             {"", "map"},                   {"/", "map"},
        {"x/..", "map"},
    };
    for (const auto& c : cases) EXPECT_EQ(map_name_of(c[0]), c[1]) << c[0];
}

TEST(MapPage, DescribesTheMapInWords) {
    map_info info;
    info.surface_min = 3, info.surface_max = 40, info.distinct_colours = 1234, info.floor_columns = 7;
    EXPECT_EQ(describe_map("isle", info),
              "The map isle, 512 by 512 columns of 64 voxels: surface heights from 3 to 40 voxels above the "
              "bottom, 1,234 distinct colours, 7 columns at floor level.");
    info.surface_min = info.surface_max = 12, info.distinct_colours = 1, info.floor_columns = 0, info.empty_columns = 9;
    EXPECT_EQ(describe_map("flat", info),
              "The map flat, 512 by 512 columns of 64 voxels: its surface stands 12 voxels above the bottom "
              "everywhere, 1 colour, 9 empty columns.");
    info.surface_min = info.surface_max = -1;
    EXPECT_EQ(describe_map("void", info), "The map void, 512 by 512 columns of 64 voxels, is all air.");
}

TEST(MapPage, CarriesTheMapFileByteForByte) {
    vxl_bytes image = hills();
    image.insert(image.end(), {1, 2, 3});  // trailing bytes travel too
    const page_parts page = page_of(image, "hills");
    const std::vector<std::uint8_t> packed =
        unbase64(between(page.html, "data-encoding=\"base64 zlib\">", "</script>"));
    std::vector<std::uint8_t> back(image.size() + 16);
    uLongf length = uLongf(back.size());
    ASSERT_EQ(uncompress(back.data(), &length, packed.data(), uLong(packed.size())), Z_OK);
    back.resize(length);
    EXPECT_EQ(back, image);
    EXPECT_NE(page.html.find("download=\"hills.vxl\""), std::string::npos);
    EXPECT_NE(page.html.find("\"bytes\": " + std::to_string(image.size())), std::string::npos);
}

TEST(MapPage, IsOneFileThatNeedsNothingFromOutside) {
    const page_parts page = page_of(hills(), "hills");
    const std::string& html = page.html;
    EXPECT_FALSE(std::regex_search(html, std::regex(R"(\{\{[a-z_]+\}\})"))) << "a template key left unfilled";
    // Nothing is loaded from a URL: no src or href but data: URLs, the download's
    // and in-page ones.
    // A scan by hand: the regex matcher recurses once a character, and a data:
    // URL of a megabyte overflowed the stack of a clang build with the sanitizers.
    for (std::size_t at = 0;;) {
        const std::size_t src = html.find("src=\"", at), href = html.find("href=\"", at);
        const std::size_t found = std::min(src, href);
        if (found == std::string::npos) break;
        const std::size_t value = found + (found == src ? 5 : 6), end = html.find('"', value);
        ASSERT_NE(end, std::string::npos) << "an attribute left open at " << found;
        EXPECT_EQ(html.compare(value, 5, "data:"), 0) << html.substr(found, std::min<std::size_t>(end - found, 80));
        at = end + 1;
    }
    // Each module of the import map is the built-in file, as a data: URL.
    const std::string imports = between(html, "<script type=\"importmap\">", "</script>");
    for (const char* module : {"three", "#map_data", "#map_mesh", "#orbit"}) {
        const std::string url = between(imports, std::string("\"") + module + "\": \"data:text/javascript;base64,", "\"");
        ASSERT_FALSE(url.empty()) << module;
        const std::vector<std::uint8_t> source = unbase64(url);
        const std::string_view asset = web_asset(std::string(module) == "three" ? "vendor/three.page.min.js"
                                                                                : std::string(module + 1) + ".js");
        EXPECT_EQ(std::string(source.begin(), source.end()), asset) << module;
    }
    // The top view is a 512 x 512 PNG.
    const std::vector<std::uint8_t> png = unbase64(between(html, "src=\"data:image/png;base64,", "\""));
    png_image read{};
    read.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&read, png.data(), png.size()));
    EXPECT_EQ(read.width, 512u);
    EXPECT_EQ(read.height, 512u);
    png_image_free(&read);
}

TEST(MapPage, ScriptsAndCommentsCannotEndEarly) {
    // The inline scripts and styles may not hold what would end their element
    // early (or, for "<!--", change how the parser reads a script).
    const char* const inline_text[][2] = {
        {"page.js", "</script"}, {"page.js", "<!--"},     {"gallery.js", "</script"},
        {"gallery.js", "<!--"},  {"page.css", "</style"}, {"gallery.css", "</style"}, {"theme.css", "</style"},
    };
    for (const auto& [name, end] : inline_text) {
        EXPECT_GT(web_asset(name).size(), 0u) << name;
        EXPECT_EQ(web_asset(name).find(end), std::string_view::npos) << name << " holds " << end;
    }
    for (std::size_t i = 0; i < WEB_ASSET_COUNT; ++i) EXPECT_GT(WEB_ASSETS[i].size, 0u) << WEB_ASSETS[i].name;
    // The licence stands in a comment, which "--" would end.
    EXPECT_EQ(between(page_of(hills(), "x").html, "three.js, bundled into this page:", "-->").find("--"),
              std::string::npos);
    const page_parts page = page_of(hills(), "<script>alert(1)</script> & co");
    EXPECT_EQ(page.html.find("<script>alert"), std::string::npos);
    EXPECT_NE(page.html.find("<h1>&lt;script&gt;alert(1)&lt;/script&gt; &amp; co</h1>"), std::string::npos);
    EXPECT_NE(page.html.find("\"name\": \"\\u003cscript\\u003ealert(1)\\u003c/script\\u003e \\u0026 co\""),
              std::string::npos);
}

TEST(MapPage, ShowsTheFiguresAndLinksBackOnlyWhenAsked) {
    const page_parts alone = page_of(hills(), "hills");
    for (const char* row : {"<th scope=\"row\">File</th><td>2,097,152 bytes</td>",
                            "<th scope=\"row\">Surface heights</th><td>13–23 voxels above the bottom</td>",
                            "<th scope=\"row\">Distinct colours</th><td>2</td>"})
        EXPECT_NE(alone.html.find(row), std::string::npos) << row;
    EXPECT_NE(alone.html.find("aria-describedby=\"view-description view-help\""), std::string::npos);
    EXPECT_EQ(alone.html.find("class=\"back\""), std::string::npos);
    const page_parts in_gallery = page_of(hills(), "hills", "../index.html");
    EXPECT_NE(in_gallery.html.find("<a class=\"back\" href=\"../index.html\">"), std::string::npos);
}

TEST(GalleryIndex, ListsEveryMapByNameWithItsFilesAndFigures) {
    gallery_entry flat{"flat", {}}, odd{"my map #1 <b>", {}};
    flat.info.surface_min = 5, flat.info.surface_max = 5, flat.info.distinct_colours = 1, flat.info.bytes = 1999;
    odd.info.surface_min = 0, odd.info.surface_max = 30, odd.info.distinct_colours = 4000, odd.info.bytes = 2097536;
    std::string html, why;
    ASSERT_TRUE(build_gallery_index({odd, flat}, "Our maps", &html, &why)) << why;
    EXPECT_NE(html.find("<title>Our maps</title>"), std::string::npos);
    EXPECT_NE(html.find("<p id=\"count\" role=\"status\">2 maps</p>"), std::string::npos);
    EXPECT_LT(html.find("data-name=\"flat\""), html.find("data-name=\"my map #1 &lt;b&gt;\"")) << "sorted by name";
    for (const char* part : {"href=\"pages/my%20map%20%231%20%3Cb%3E.html\"",
                             "src=\"thumbs/my%20map%20%231%20%3Cb%3E.png\"",
                             "href=\"maps/my%20map%20%231%20%3Cb%3E.vxl\" download",
                             "data-high=\"30\" data-colours=\"4000\" data-bytes=\"2097536\"",
                             "<p>heights 0–30 · 4,000 colours · 2.1 MB</p>", "<p>height 5 · 1 colour · 2.0 KB</p>",
                             "width=\"256\" height=\"256\""})
        EXPECT_NE(html.find(part), std::string::npos) << part;
    EXPECT_EQ(html.find("<b>"), std::string::npos);

    ASSERT_TRUE(build_gallery_index({}, "Maps", &html, &why));
    EXPECT_NE(html.find("0 maps"), std::string::npos);
}

}  // namespace
