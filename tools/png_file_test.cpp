#include "tools/png_file.h"

#include <gtest/gtest.h>
#include <png.h>

#include <string>

namespace {

/// the text of every tEXt chunk, as "keyword=text", in file order
std::vector<std::string> text_chunks(const std::vector<std::uint8_t>& png) {
    std::vector<std::string> texts;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::size_t length = std::size_t(png[at]) << 24 | std::size_t(png[at + 1]) << 16 |
                                   std::size_t(png[at + 2]) << 8 | png[at + 3];
        const std::string type(png.begin() + std::ptrdiff_t(at + 4), png.begin() + std::ptrdiff_t(at + 8));
        if (at + 12 + length > png.size()) break;
        if (type == "tEXt") {
            std::string body(png.begin() + std::ptrdiff_t(at + 8), png.begin() + std::ptrdiff_t(at + 8 + length));
            const std::size_t nul = body.find('\0');
            if (nul != std::string::npos) body[nul] = '=';
            texts.push_back(body);
        }
        at += 12 + length;
    }
    return texts;
}

TEST(PngFile, EncodesThePixelsAndNamesTheToolThatMadeThem) {
    rgb_image image;
    image.width = 3;
    image.height = 2;
    image.rgb = {1, 2, 3, 4, 5, 6, 7, 8, 9, 250, 251, 252, 0, 0, 0, 255, 128, 64};
    std::vector<std::uint8_t> png;
    std::string why;
    ASSERT_TRUE(encode_png(image, &png, &why)) << why;

    EXPECT_EQ(text_chunks(png), std::vector<std::string>{"Software=vxltool " MAPGEN_VERSION});

    png_image read{};
    read.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&read, png.data(), png.size()));
    read.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(read));
    ASSERT_TRUE(png_image_finish_read(&read, nullptr, pixels.data(), 0, nullptr));
    EXPECT_EQ(read.width, 3u);
    EXPECT_EQ(read.height, 2u);
    EXPECT_EQ(pixels, image.rgb);
}

}  // namespace
