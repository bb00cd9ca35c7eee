#include "tools/png_image.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace {

// Ancillary chunks (text, ICC profiles, EXIF) may hold at most this much once
// decompressed; a heightmap needs none of them, and a bomb in one costs no more.
constexpr png_alloc_size_t CHUNK_MALLOC_MAX = 8u << 20;
constexpr png_uint_32 CHUNK_CACHE_MAX = 1000;
// Text never changes a pixel, and a compressed text chunk inflates up to a
// thousandfold: a few MiB of them cost libpng seconds of inflating (900 zTXt
// chunks of 7.6 KiB, 8 MB of text each, took 11 s). They are skipped unread, their
// CRCs still checked. Five bytes a name, each ending in NUL, as libpng lists them.
constexpr png_byte SKIPPED_CHUNKS[] = "tEXt\0zTXt\0iTXt";
constexpr int SKIPPED_CHUNK_COUNT = 3;
static_assert(sizeof SKIPPED_CHUNKS == 5 * SKIPPED_CHUNK_COUNT);

/// What the libpng callbacks share with their caller.
struct png_session {
    const std::uint8_t* data = nullptr;
    std::size_t length = 0;
    std::size_t offset = 0;
    std::vector<std::uint8_t>* out = nullptr;
    bool cut_short = false;
    std::string reason;
};

void on_error(png_structp png, png_const_charp message) {
    auto* session = static_cast<png_session*>(png_get_error_ptr(png));
    if (session->reason.empty()) session->reason = message;
    png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

void read_bytes(png_structp png, png_bytep into, png_size_t size) {
    auto* session = static_cast<png_session*>(png_get_io_ptr(png));
    if (size > session->length - session->offset) {
        session->cut_short = true;
        png_error(png, "the file ends early");
    }
    std::memcpy(into, session->data + session->offset, size);
    session->offset += size;
}

void append_bytes(png_structp png, png_bytep data, png_size_t size) {
    std::vector<std::uint8_t>* out = static_cast<png_session*>(png_get_io_ptr(png))->out;
    out->insert(out->end(), data, data + size);
}

void flush_nothing(png_structp) {}

/// The decoding proper, into rows that the caller made for want_width x
/// want_height pixels of the layout. libpng leaves by longjmp on failure, so
/// nothing with a destructor lives between setjmp and the last libpng call.
bool run_decoder(png_session* session, png_layout layout, int want_width, int want_height, png_bytepp rows,
                 bool* had_colour) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, session, on_error, on_warning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, session, read_bytes);
    png_set_chunk_malloc_max(png, CHUNK_MALLOC_MAX);
    png_set_chunk_cache_max(png, CHUNK_CACHE_MAX);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, SKIPPED_CHUNKS, SKIPPED_CHUNK_COUNT);
    png_read_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (width != png_uint_32(want_width) || height != png_uint_32(want_height)) {
        char text[96];
        std::snprintf(text, sizeof text, "the picture is %u x %u pixels; it must be %d x %d", unsigned(width),
                      unsigned(height), want_width, want_height);
        png_error(png, text);
    }
    const int colour_type = png_get_color_type(png, info);
    const bool has_alpha = (colour_type & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);

    png_set_expand(png);  // palette to RGB, grey below 8 bits to 8, tRNS to alpha
    if (layout == png_layout::grey_alpha16) {
        png_set_expand_16(png);
        // Luminance for colour pixels; grey ones (red = green = blue) pass unchanged.
        if (colour_type & PNG_COLOR_MASK_COLOR) png_set_rgb_to_gray(png, PNG_ERROR_ACTION_NONE, -1, -1);
        if (!has_alpha) png_set_add_alpha(png, 0xFFFF, PNG_FILLER_AFTER);
    } else {
        png_set_scale_16(png);
        png_set_gray_to_rgb(png);
        png_set_strip_alpha(png);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t channels = layout == png_layout::grey_alpha16 ? 2 : 3;
    const std::size_t sample_bytes = layout == png_layout::grey_alpha16 ? 2 : 1;
    const std::size_t row_bytes = std::size_t(width) * channels * sample_bytes;
    if (png_get_channels(png, info) != channels || png_get_rowbytes(png, info) != row_bytes)
        png_error(png, "libpng gave an unexpected pixel layout");

    png_read_image(png, rows);
    png_read_end(png, nullptr);
    if (layout == png_layout::grey_alpha16) *had_colour = png_get_rgb_to_gray_status(png) != 0;
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

bool run_encoder(png_session* session, int width, int height, int channels, png_bytepp rows, const char* software) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, session, on_error, on_warning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    static const int types[] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB};
    png_set_write_fn(png, session, append_bytes, flush_nothing);
    // Map pictures (the views, thumbnails and colour maps) are noisy RGB, where
    // zlib's level 3 gives files 4 to 13 % smaller than libpng's default (level 6
    // with the filtered strategy, which drops matches of five bytes or fewer), in
    // half the time. Smooth grey heightmaps keep the default: it packs them a
    // fifth smaller.
    if (channels == 3) png_set_compression_level(png, 3);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, types[channels - 1], PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_text text{};  // PNG's registered keyword for the program that made the picture
    if (software) {
        text.compression = PNG_TEXT_COMPRESSION_NONE;
        text.key = const_cast<png_charp>("Software");
        text.text = const_cast<png_charp>(software);
        png_set_text(png, info, &text, 1);
    }
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool decode_png(const std::uint8_t* data, std::size_t length, png_layout layout, int want_width, int want_height,
                png_pixels* pixels, std::string* reason) {
    *pixels = png_pixels{};
    if (length < 8 || png_sig_cmp(data, 0, 8) != 0) {
        *reason = "not a PNG file";
        return false;
    }
    // The buffers have the size asked for, whatever the file claims.
    const std::size_t pixel_count = std::size_t(want_width) * std::size_t(want_height);
    std::uint8_t* target = nullptr;
    std::size_t row_bytes = 0;
    if (layout == png_layout::grey_alpha16) {
        pixels->samples.resize(pixel_count * 2);
        target = reinterpret_cast<std::uint8_t*>(pixels->samples.data());
        row_bytes = std::size_t(want_width) * 4;
    } else {
        pixels->bytes.resize(pixel_count * 3);
        target = pixels->bytes.data();
        row_bytes = std::size_t(want_width) * 3;
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(want_height));
    for (std::size_t y = 0; y < rows.size(); ++y) rows[y] = target + y * row_bytes;

    png_session session;
    session.data = data;
    session.length = length;
    bool had_colour = false;
    if (run_decoder(&session, layout, want_width, want_height, rows.data(), &had_colour)) {
        pixels->width = want_width;
        pixels->height = want_height;
        pixels->had_colour = had_colour;
        // 16-bit samples arrive big-endian, as PNG stores them.
        for (std::uint16_t& s : pixels->samples) {
            const auto* b = reinterpret_cast<const std::uint8_t*>(&s);
            s = std::uint16_t(b[0] << 8 | b[1]);
        }
        return true;
    }
    *pixels = png_pixels{};
    if (session.cut_short)
        *reason = "the PNG file is cut short";
    else if (!session.reason.empty())
        *reason = session.reason;
    else
        *reason = "libpng could not start";
    return false;
}

bool encode_png_pixels(int width, int height, int channels, const std::uint8_t* pixels,
                       std::vector<std::uint8_t>* png, std::string* reason, const char* software) {
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    const std::size_t row_bytes = std::size_t(width) * std::size_t(channels);
    for (int y = 0; y < height; ++y) rows[std::size_t(y)] = const_cast<png_bytep>(pixels + std::size_t(y) * row_bytes);
    png->clear();
    png_session session;
    session.out = png;
    if (channels >= 1 && channels <= 3 && run_encoder(&session, width, height, channels, rows.data(), software)) return true;
    *reason = session.reason.empty() ? "libpng could not start" : session.reason;
    return false;
}
