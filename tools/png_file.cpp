#include "tools/png_file.h"

#include <png.h>

#include <csetjmp>

#include "mapfile/safe_write.h"

namespace {

struct PngSink {
    std::vector<std::uint8_t>* bytes = nullptr;
    std::string reason;
};

void on_png_error(png_structp png, png_const_charp message) {
    static_cast<PngSink*>(png_get_error_ptr(png))->reason = message;
    png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

void append_bytes(png_structp png, png_bytep data, png_size_t size) {
    std::vector<std::uint8_t>* bytes = static_cast<PngSink*>(png_get_io_ptr(png))->bytes;
    bytes->insert(bytes->end(), data, data + size);
}

void flush_nothing(png_structp) {}

constexpr const char* PNG_SOFTWARE = "vxltool " MAPGEN_VERSION;

/// The libpng calls proper. libpng leaves by longjmp on failure, so no object
/// with a destructor is created between setjmp and the last libpng call.
bool run_libpng(const RgbImage& image, png_bytepp rows, PngSink* sink) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, sink, on_png_error, on_png_warning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, sink, append_bytes, flush_nothing);
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // PNG's registered keyword for the program that made the picture.
    png_text software{};
    software.compression = PNG_TEXT_COMPRESSION_NONE;
    software.key = const_cast<png_charp>("Software");
    software.text = const_cast<png_charp>(PNG_SOFTWARE);
    png_set_text(png, info, &software, 1);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool encode_png(const RgbImage& image, std::vector<std::uint8_t>* png, std::string* reason) {
    std::vector<png_bytep> rows(std::size_t(image.height));
    for (int y = 0; y < image.height; ++y)
        rows[std::size_t(y)] = const_cast<png_bytep>(&image.rgb[std::size_t(y) * std::size_t(image.width) * 3]);
    png->clear();
    PngSink sink;
    sink.bytes = png;
    if (run_libpng(image, rows.data(), &sink)) return true;
    *reason = sink.reason.empty() ? "libpng could not start" : sink.reason;
    return false;
}

bool write_png(const char* path, const RgbImage& image, std::string* reason) {
    std::vector<std::uint8_t> png;
    return encode_png(image, &png, reason) && safe_write_file(path, png.data(), png.size(), reason);
}
