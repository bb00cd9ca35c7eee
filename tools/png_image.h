// PNG pictures read and written through libpng for the map makers' formats. A
// reader asks for one pixel layout and libpng's transformations bring any PNG
// (grey of 1 to 16 bits, grey with alpha, RGB, RGBA, palette, interlaced or not)
// into it. The size is checked before a single row is decoded, so a file that
// claims a huge picture costs nothing, and libpng's chunk limits keep ancillary
// chunks from costing memory either.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// The layouts a reader can ask for.
enum class png_layout {
    grey_alpha16,  // two 16-bit samples per pixel, grey then alpha (opaque where the file has none)
    rgb8,          // three 8-bit samples per pixel; alpha is dropped, grey repeated
};

/// A decoded picture, rows top to bottom.
struct png_pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint16_t> samples;  // grey_alpha16: grey, alpha per pixel
    std::vector<std::uint8_t> bytes;     // rgb8: red, green, blue per pixel
    bool had_colour = false;  // grey_alpha16 only: some pixel was not grey (its luminance was taken)
};

/// Decodes the PNG in data[0 .. length) into layout. A picture that is not
/// want_width x want_height pixels is refused before its rows are read. Returns
/// false with a one-line reason (not a PNG, its size, cut short, libpng's reason
/// for a damaged file) in *reason.
bool decode_png(const std::uint8_t* data, std::size_t length, png_layout layout, int want_width, int want_height,
                png_pixels* pixels, std::string* reason);

/// Encodes 8-bit pixels of 1 (grey), 2 (grey, alpha) or 3 (RGB) samples each,
/// rows top to bottom, as a PNG into *png, with a tEXt chunk "Software" holding
/// software when it is given. Returns false with libpng's reason.
bool encode_png_pixels(int width, int height, int channels, const std::uint8_t* pixels,
                       std::vector<std::uint8_t>* png, std::string* reason, const char* software = nullptr);
