#include "tools/map_render.h"

#include <algorithm>
#include <vector>

#include "mapfile/vxl_format.h"

namespace {

constexpr int SIZE = VXL_MAP_SIZE;
constexpr int DEPTH = VXL_COLUMN_DEPTH;
constexpr int ISO_WIDTH = 2 * SIZE;
constexpr int ISO_HEIGHT = SIZE + DEPTH * ISO_VOXEL_HEIGHT;
const std::uint8_t* const SKY = PREVIEW_SKY;

/// Writes colour word c (red in bits 16-23, green 8-15, blue 0-7) scaled by light.
void put_pixel(rgb_image& image, int px, int py, std::uint32_t c, double light) {
    std::uint8_t* p = &image.rgb[(std::size_t(py) * std::size_t(image.width) + std::size_t(px)) * 3];
    const int channels[3] = {int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF)};
    for (int i = 0; i < 3; ++i) p[i] = std::uint8_t(std::clamp(int(channels[i] * light + 0.5), 0, 255));
}

rgb_image blank_image(int width, int height, const std::uint8_t background[3]) {
    rgb_image image;
    image.width = width;
    image.height = height;
    image.rgb.resize(std::size_t(width) * std::size_t(height) * 3);
    for (std::size_t i = 0; i < image.rgb.size(); i += 3)
        std::copy(background, background + 3, image.rgb.begin() + std::ptrdiff_t(i));
    return image;
}

/// surface height of column (x, y) with wrap-around, -1 for an all-air column
int surface_height(const decoded_map& map, int x, int y) {
    return DEPTH - 1 - top_solid_z(map, map_entry((x + SIZE) % SIZE, (y + SIZE) % SIZE));
}

/// One output pixel's share of the source along one axis: source pixels first ..
/// first + weights.size() - 1 with integer weights that add up to the source length.
struct iso_footprint {
    int first = 0;
    std::vector<std::uint32_t> weights;
};

/// Footprints for shrinking or stretching from source to dest pixels. Measured in
/// units of 1/dest of a source pixel, output pixel i covers [i * source, (i + 1) *
/// source) and source pixel j covers [j * dest, (j + 1) * dest): the overlaps are
/// whole numbers, so the averages are exact.
std::vector<iso_footprint> footprints(int source, int dest) {
    std::vector<iso_footprint> result(static_cast<std::size_t>(dest));
    for (int i = 0; i < dest; ++i) {
        const std::int64_t lo = std::int64_t(i) * source, hi = lo + source;
        iso_footprint& f = result[std::size_t(i)];
        f.first = int(lo / dest);
        for (std::int64_t j = f.first; j * dest < hi; ++j) {
            const std::int64_t overlap = std::min(hi, (j + 1) * dest) - std::max(lo, j * dest);
            f.weights.push_back(std::uint32_t(overlap));
        }
    }
    return result;
}

}  // namespace

rgb_image fit_square(const rgb_image& image, int size, const std::uint8_t background[3]) {
    rgb_image out = blank_image(size, size, background);
    const int longer = std::max(image.width, image.height);
    if (longer == 0) return out;
    // The shorter side keeps the aspect ratio, rounded to whole pixels, at least one.
    const int width = std::max(1, int((std::int64_t(image.width) * size * 2 + longer) / (2 * longer)));
    const int height = std::max(1, int((std::int64_t(image.height) * size * 2 + longer) / (2 * longer)));
    const std::vector<iso_footprint> across = footprints(image.width, width), down = footprints(image.height, height);

    // Rows first: sums over each output column's footprint, still unscaled.
    std::vector<std::uint64_t> rows(std::size_t(width) * std::size_t(image.height) * 3);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < width; ++x) {
            const iso_footprint& f = across[std::size_t(x)];
            std::uint64_t* sum = &rows[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3];
            for (std::size_t k = 0; k < f.weights.size(); ++k) {
                const std::uint8_t* p =
                    &image.rgb[(std::size_t(y) * std::size_t(image.width) + std::size_t(f.first) + k) * 3];
                for (int c = 0; c < 3; ++c) sum[c] += std::uint64_t(p[c]) * f.weights[k];
            }
        }
    const std::uint64_t total = std::uint64_t(image.width) * std::uint64_t(image.height);
    const int left = (size - width) / 2, top = (size - height) / 2;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const iso_footprint& f = down[std::size_t(y)];
            std::uint64_t sum[3] = {0, 0, 0};
            for (std::size_t k = 0; k < f.weights.size(); ++k) {
                const std::uint64_t* r = &rows[((std::size_t(f.first) + k) * std::size_t(width) + std::size_t(x)) * 3];
                for (int c = 0; c < 3; ++c) sum[c] += r[c] * f.weights[k];
            }
            std::uint8_t* p = &out.rgb[(std::size_t(top + y) * std::size_t(size) + std::size_t(left + x)) * 3];
            for (int c = 0; c < 3; ++c) p[c] = std::uint8_t((sum[c] + total / 2) / total);
        }
    return out;
}

rgb_image scale_image(const rgb_image& image, int factor) {
    rgb_image out;
    out.width = image.width * factor;
    out.height = image.height * factor;
    out.rgb.resize(std::size_t(out.width) * std::size_t(out.height) * 3);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const std::uint8_t* p =
                &image.rgb[(std::size_t(y / factor) * std::size_t(image.width) + std::size_t(x / factor)) * 3];
            std::copy(p, p + 3, &out.rgb[(std::size_t(y) * std::size_t(out.width) + std::size_t(x)) * 3]);
        }
    return out;
}

rgb_image render_top_view(const decoded_map& map) {
    static const std::uint8_t black[3] = {0, 0, 0};
    rgb_image image = blank_image(SIZE, SIZE, black);
    for (int y = 0; y < SIZE; ++y)
        for (int x = 0; x < SIZE; ++x) {
            const std::size_t entry = map_entry(x, y);
            const int top = top_solid_z(map, entry);
            if (top == DEPTH) continue;
            // A column that stands above its neighbours towards the light is lit,
            // one below them is in shade: each voxel of step changes the light by 12%.
            const int h = DEPTH - 1 - top;
            const int step = (h - surface_height(map, x - 1, y)) + (h - surface_height(map, x, y - 1));
            const double light = std::clamp(1.0 + 0.12 * step, 0.45, 1.6);
            put_pixel(image, x, y, shown_colour(map, entry, top), light);
        }
    return image;
}

rgb_image render_iso_view(const decoded_map& map) {
    rgb_image image = blank_image(ISO_WIDTH, ISO_HEIGHT, SKY);
    // Painter's order: far columns (small x + y) first, and within a column the
    // bottom voxel first, so nearer and higher voxels cover what they hide.
    for (int s = 0; s <= 2 * (SIZE - 1); ++s) {
        for (int x = std::max(0, s - (SIZE - 1)); x <= std::min(SIZE - 1, s); ++x) {
            const int y = s - x;
            const std::size_t entry = map_entry(x, y);
            const std::uint64_t solid = map.solid[entry];
            if (solid == 0) continue;
            // Bit z set where the face is open: air above (z - 1, or the sky over
            // z = 0), air beside on the +x or +y side, or the map's near edges.
            const std::uint64_t open_up = ~(solid << 1);
            const std::uint64_t open_x = x == SIZE - 1 ? ~std::uint64_t{0} : ~map.solid[map_entry(x + 1, y)];
            const std::uint64_t open_y = y == SIZE - 1 ? ~std::uint64_t{0} : ~map.solid[map_entry(x, y + 1)];
            const std::uint64_t seen = solid & (open_up | open_x | open_y);
            const int px = x - y + SIZE - 1;
            const int base = s / 2;
            for (int z = DEPTH - 1; z >= 0; --z) {
                if (!(seen >> z & 1)) continue;
                const std::uint32_t c = shown_colour(map, entry, z);
                const int py = base + z * ISO_VOXEL_HEIGHT;
                const bool lit_top = open_up >> z & 1;
                put_pixel(image, px, py, c, lit_top ? 1.0 : 0.78);
                put_pixel(image, px + 1, py, c, lit_top ? 1.0 : 0.6);
                for (int row = 1; row <= ISO_VOXEL_HEIGHT; ++row) {
                    put_pixel(image, px, py + row, c, 0.78);      // the face towards +y
                    put_pixel(image, px + 1, py + row, c, 0.6);   // the face towards +x
                }
            }
        }
    }
    return image;
}
