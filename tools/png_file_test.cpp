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

/// the RGB pixels of a PNG that is width x height pixels
std::vector<std::uint8_t> decoded_rgb(const std::vector<std::uint8_t>& png, unsigned width, unsigned height) {
    png_image read{};
    read.version = PNG_IMAGE_VERSION;
    EXPECT_TRUE(png_image_begin_read_from_memory(&read, png.data(), png.size()));
    read.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(read));
    EXPECT_TRUE(png_image_finish_read(&read, nullptr, pixels.data(), 0, nullptr));
    EXPECT_EQ(read.width, width);
    EXPECT_EQ(read.height, height);
    return pixels;
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
    EXPECT_EQ(decoded_rgb(png, 3, 2), image.rgb);

    // A picture large enough for the compressor's matches, runs and literals.
    image.width = 301;
    image.height = 97;
    image.rgb.resize(std::size_t(301) * 97 * 3);
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < image.rgb.size(); ++i) {
        state = state * 1103515245u + 12345u;
        image.rgb[i] = i % 900 < 450 ? std::uint8_t(i / 3 % 7 * 30) : std::uint8_t(state >> 24);
    }
    ASSERT_TRUE(encode_png(image, &png, &why)) << why;
    EXPECT_EQ(decoded_rgb(png, 301, 97), image.rgb);
}

}  // namespace
