#include "terrain/map.h"

#include <algorithm>
#include <cstdint>

#include "terrain/terrain.h"
#include "volume/volume.h"

namespace {

constexpr std::uint32_t BLUE_REGION = 0x806060FF;
constexpr std::uint32_t GREEN_REGION = 0x8030D030;

// Where the words of the columns go: colours, words_per_column a column.
struct column_words {
    std::uint32_t* colours;
    int words_per_column;
};

void paint_column(const column_words& out, int x, int y, std::uint32_t colour) {
    std::fill_n(out.colours + column_index(x, y) * out.words_per_column, out.words_per_column, colour);
}

}  // namespace

// Three sides of a rectangle each, open toward the map's x edge. The outlines are
// deliberately not mirror images: the blue long sides stop at x = 127, leaving the
// blue corner (128, 384) unmarked, while the green ones start at x = 384 and so
// mark the green corner (384, 384).
void paint_start_regions(std::uint32_t* colours, int words_per_column) {
    const column_words out{colours, words_per_column};
    for (int y = 128; y <= 383; ++y) {
        paint_column(out, 128, y, BLUE_REGION);
        paint_column(out, 384, y, GREEN_REGION);
    }
    for (int x = 16; x <= 127; ++x) {
        paint_column(out, x, 128, BLUE_REGION);
        paint_column(out, x, 384, BLUE_REGION);
    }
    for (int x = 384; x <= 495; ++x) {
        paint_column(out, x, 128, GREEN_REGION);
        paint_column(out, x, 384, GREEN_REGION);
    }
}

namespace {

// The outline columns that lie in x-row x: those of paint_start_regions, which
// paints no column twice in different colours, so row by row gives the same map.
void paint_start_regions_of_row(int x) {
    const column_words out{color_map, MAP_DEPTH};
    const auto paint_sides = [&out, x](std::uint32_t colour) {
        paint_column(out, x, 128, colour);
        paint_column(out, x, 384, colour);
    };
    if (x == 128)
        for (int y = 128; y <= 383; ++y) paint_column(out, x, y, BLUE_REGION);
    if (x == 384)
        for (int y = 128; y <= 383; ++y) paint_column(out, x, y, GREEN_REGION);
    if (x >= 16 && x <= 127) paint_sides(BLUE_REGION);
    if (x >= 384 && x <= 495) paint_sides(GREEN_REGION);
}

}  // namespace

void shape_map() { shape_terrain(); }

void finish_map_row(int x) {
    colour_columns_of_row(volume_terrain_fields(), color_map, x);
    if (debug_regions != 0) paint_start_regions_of_row(x);
}

void generate_map() {
    generate_terrain();
    if (debug_regions != 0) paint_start_regions(color_map, MAP_DEPTH);
}

void generate_map_plain() {
    generate_terrain_plain();
    if (debug_regions != 0) paint_start_regions(color_map, MAP_DEPTH);
}
