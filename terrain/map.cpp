#include "terrain/map.h"

#include <algorithm>
#include <cstdint>

#include "terrain/terrain.h"
#include "volume/volume.h"

namespace {

constexpr std::uint32_t BLUE_REGION = 0x806060FF;
constexpr std::uint32_t GREEN_REGION = 0x8030D030;

void paint_column(int x, int y, std::uint32_t colour) {
    std::fill_n(color_map + column_index(x, y) * MAP_DEPTH, MAP_DEPTH, colour);
}

// Three sides of a rectangle each, open toward the map's x edge. The outlines are
// deliberately not mirror images: the blue long sides stop at x = 127, leaving the
// blue corner (128, 384) unmarked, while the green ones start at x = 384 and so
// mark the green corner (384, 384).
void paint_start_regions() {
    for (int y = 128; y <= 383; ++y) {
        paint_column(128, y, BLUE_REGION);
        paint_column(384, y, GREEN_REGION);
    }
    for (int x = 16; x <= 127; ++x) {
        paint_column(x, 128, BLUE_REGION);
        paint_column(x, 384, BLUE_REGION);
    }
    for (int x = 384; x <= 495; ++x) {
        paint_column(x, 128, GREEN_REGION);
        paint_column(x, 384, GREEN_REGION);
    }
}

// The outline columns that lie in x-row x: those of paint_start_regions, which
// paints no column twice in different colours, so row by row gives the same map.
void paint_start_regions_of_row(int x) {
    const auto paint_sides = [x](std::uint32_t colour) {
        paint_column(x, 128, colour);
        paint_column(x, 384, colour);
    };
    if (x == 128)
        for (int y = 128; y <= 383; ++y) paint_column(x, y, BLUE_REGION);
    if (x == 384)
        for (int y = 128; y <= 383; ++y) paint_column(x, y, GREEN_REGION);
    if (x >= 16 && x <= 127) paint_sides(BLUE_REGION);
    if (x >= 384 && x <= 495) paint_sides(GREEN_REGION);
}

}  // namespace

void shape_map() { shape_terrain(); }

void finish_map_row(int x) {
    colour_columns_of_row(x);
    if (debug_regions != 0) paint_start_regions_of_row(x);
}

void generate_map() {
    generate_terrain();
    if (debug_regions != 0) paint_start_regions();
}

void generate_map_plain() {
    generate_terrain_plain();
    if (debug_regions != 0) paint_start_regions();
}
