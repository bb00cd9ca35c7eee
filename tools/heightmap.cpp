#include "tools/heightmap.h"

#include <cstring>

#include "mapfile/vxl_format.h"
#include "volume/volume.h"
#include "tools/png_image.h"

namespace {

constexpr int SIZE = VXL_MAP_SIZE;
constexpr std::size_t PIXELS = std::size_t{SIZE} * SIZE;
constexpr int TOP_HEIGHT = VXL_COLUMN_DEPTH - 1;
/// A pixel this transparent or more is a column of air.
constexpr std::uint16_t OPAQUE_ENOUGH = 0x8000;

/// true when every voxel of the column from top_z down to the bottom is solid
bool is_plain_ground(std::uint64_t solid, int top_z) { return solid == ~std::uint64_t{0} << top_z; }

}  // namespace

std::uint8_t height_to_grey(int h) {
    // 63 is odd, so h * 255 / 63 never ends in exactly one half.
    return std::uint8_t((h * 255 + TOP_HEIGHT / 2) / TOP_HEIGHT);
}

int grey16_to_height(std::uint16_t grey) {
    // round(grey * 63 / 65535); 65535 = 255 * 257, so an 8-bit level g (read as
    // g * 257) gives round(g * 63 / 255), and no level ends in exactly one half.
    return int((std::uint32_t(grey) * TOP_HEIGHT + 65535 / 2) / 65535);
}

surface_maps surface_of_map(const decoded_map& map, surface_losses* losses) {
    surface_maps surface;
    surface.height.assign(PIXELS, -1);
    surface.colour.assign(PIXELS, 0);
    *losses = surface_losses{};
    for (std::size_t entry = 0; entry < PIXELS; ++entry) {
        const int top = top_solid_z(map, entry);
        if (top == VXL_COLUMN_DEPTH) continue;
        surface.height[entry] = TOP_HEIGHT - top;
        const std::uint32_t shown = shown_colour(map, entry, top);
        surface.colour[entry] = shown & 0xFFFFFF;
        if (!is_plain_ground(map.solid[entry], top)) ++losses->cave_columns;
        if (shown >> 24 != 0x80) ++losses->other_top_bytes;
        const std::uint32_t first = map.first_colour[entry], end = map.first_colour[entry + 1];
        for (std::uint32_t i = first + 1; i < end; ++i)
            if (map.colours[i] != map.colours[first]) {
                ++losses->multicolour_columns;
                break;
            }
    }
    return surface;
}

bool encode_heightmap(const surface_maps& surface, std::vector<std::uint8_t>* png, std::string* reason) {
    bool has_air = false;
    for (int h : surface.height) has_air |= h < 0;
    const int channels = has_air ? 2 : 1;
    std::vector<std::uint8_t> pixels(PIXELS * std::size_t(channels));
    for (std::size_t i = 0; i < PIXELS; ++i) {
        const int h = surface.height[i];
        pixels[i * std::size_t(channels)] = h < 0 ? 0 : height_to_grey(h);
        if (has_air) pixels[i * 2 + 1] = h < 0 ? 0 : 255;
    }
    return encode_png_pixels(SIZE, SIZE, channels, pixels.data(), png, reason);
}

bool encode_colour_map(const surface_maps& surface, std::vector<std::uint8_t>* png, std::string* reason) {
    std::vector<std::uint8_t> pixels(PIXELS * 3);
    for (std::size_t i = 0; i < PIXELS; ++i) {
        const std::uint32_t c = surface.colour[i];
        pixels[i * 3] = std::uint8_t(c >> 16);
        pixels[i * 3 + 1] = std::uint8_t(c >> 8);
        pixels[i * 3 + 2] = std::uint8_t(c);
    }
    return encode_png_pixels(SIZE, SIZE, 3, pixels.data(), png, reason);
}

bool decode_heightmap(const std::uint8_t* data, std::size_t length, surface_maps* surface, bool* had_colour,
                      std::string* reason) {
    png_pixels pixels;
    if (!decode_png(data, length, png_layout::grey_alpha16, SIZE, SIZE, &pixels, reason)) return false;
    surface->height.resize(PIXELS);
    for (std::size_t i = 0; i < PIXELS; ++i) {
        const std::uint16_t grey = pixels.samples[2 * i], alpha = pixels.samples[2 * i + 1];
        surface->height[i] = alpha < OPAQUE_ENOUGH ? -1 : grey16_to_height(grey);
    }
    *had_colour = pixels.had_colour;
    return true;
}

bool decode_colour_map(const std::uint8_t* data, std::size_t length, surface_maps* surface, std::string* reason) {
    png_pixels pixels;
    if (!decode_png(data, length, png_layout::rgb8, SIZE, SIZE, &pixels, reason)) return false;
    surface->colour.resize(PIXELS);
    for (std::size_t i = 0; i < PIXELS; ++i) {
        const std::uint8_t* p = &pixels.bytes[3 * i];
        surface->colour[i] = std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
    }
    return true;
}

void build_ground_volume(const surface_maps& surface) {
    const bool coloured = !surface.colour.empty();
    for (int x = 0; x < SIZE; ++x)
        for (int y = 0; y < SIZE; ++y) {
            const std::size_t entry = map_entry(x, y);
            const int h = surface.height[entry];
            // Generator orientation: voxels 0..h solid, the rest air.
            std::uint8_t* solid = solid_map + voxel_index(x, y, 0);
            std::memset(solid, 0, MAP_DEPTH);
            if (h >= 0) std::memset(solid, 1, std::size_t(h) + 1);
            const std::uint32_t colour =
                coloured ? IMPORTED_TOP_BYTE | (surface.colour[entry] & 0xFFFFFF) : HEIGHTMAP_DEFAULT_COLOUR;
            std::uint32_t* colours = color_map + voxel_index(x, y, 0);
            for (int z = 0; z < MAP_DEPTH; ++z) colours[z] = colour;
        }
}
