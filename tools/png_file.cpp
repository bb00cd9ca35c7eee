#include "tools/png_file.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct PngFailure {
    std::FILE* out = nullptr;
    std::string reason;
};

// libpng's own stream writer reports only "Write Error"; this one keeps the
// system's reason (a full disk, a vanished mount) for the message.
void write_to_stream(png_structp png, png_bytep data, png_size_t size) {
    auto* failure = static_cast<PngFailure*>(png_get_io_ptr(png));
    if (std::fwrite(data, 1, size, failure->out) != size) {
        failure->reason = std::strerror(errno);
        png_longjmp(png, 1);
    }
}

void flush_stream(png_structp png) { std::fflush(static_cast<PngFailure*>(png_get_io_ptr(png))->out); }

void on_png_error(png_structp png, png_const_charp message) {
    static_cast<PngFailure*>(png_get_error_ptr(png))->reason = message;
    png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

/// Encodes image into the open stream. No C++ object with a destructor may live
/// between setjmp and a libpng call, as libpng leaves by longjmp on failure.
bool encode_png(const RgbImage& image, const std::vector<png_bytep>& rows, PngFailure* failure) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, failure, on_png_error, on_png_warning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, failure, write_to_stream, flush_stream);
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, const_cast<png_bytepp>(rows.data()));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool write_png(const char* path, const RgbImage& image, std::string* reason) {
    std::vector<png_bytep> rows(std::size_t(image.height));
    for (int y = 0; y < image.height; ++y)
        rows[std::size_t(y)] = const_cast<png_bytep>(&image.rgb[std::size_t(y) * std::size_t(image.width) * 3]);

    std::string temp = std::string(path) + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        *reason = std::strerror(errno);
        return false;
    }
    // mkstemp creates the file private to its owner; give it the mode a plain
    // create would have.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    std::FILE* out = fdopen(fd, "wb");
    if (!out) {
        *reason = std::strerror(errno);
        close(fd);
        unlink(temp.c_str());
        return false;
    }
    PngFailure failure;
    failure.out = out;
    bool ok = encode_png(image, rows, &failure);
    if (!ok && failure.reason.empty()) failure.reason = std::strerror(ENOMEM);
    if (ok && std::fflush(out) != 0) {
        ok = false;
        failure.reason = std::strerror(errno);
    }
    if (std::fclose(out) != 0 && ok) {
        ok = false;
        failure.reason = std::strerror(errno);
    }
    if (ok && std::rename(temp.c_str(), path) != 0) {
        ok = false;
        failure.reason = std::strerror(errno);
    }
    if (!ok) {
        unlink(temp.c_str());
        *reason = failure.reason;
    }
    return ok;
}
