#include "terrain/colouring.h"

#include <algorithm>
#include <cmath>

#include "platform/vector_path.h"
#include "terrain/colouring_kernels.h"

// Arithmetic is double; a value rounded to float is rounded by one visible
// static_cast<float> and then held in a double, so that no later expression
// falls into float arithmetic. Conversions to integer truncate toward zero.

double smoothstep01(float t) {
    if (t < 0) return 0;
    if (t > 1) return 1;
    const double td = t;
    return 3 * (td * td) - 2 * ((td * td) * td);
}

std::uint32_t column_colour(float h, float h_prev_x, float h_prev_y, std::int32_t column_height) {
    const double hd = h;
    int red1, green1, blue1;
    double multiplier = 1;  // floor columns are not shaded
    if (column_height != 0) {
        const double th = static_cast<float>(smoothstep01(static_cast<float>((hd - 4) * HEIGHT_SCALE)));
        const double gx = static_cast<float>(hd - h_prev_x);
        const double gy = hd - h_prev_y;  // not rounded
        const double s2 = static_cast<float>(gy * gy + gx * gx);
        const double ts = static_cast<float>(smoothstep01(static_cast<float>(s2 * 0.625)));
        // Cosine between the surface normal direction (gx, gy, 1) and the light.
        const double q = std::clamp((gx * LIGHT_X + LIGHT_Z) / std::sqrt(s2 + 1), 0.0, 1.0);
        multiplier = std::clamp(q * LIGHT_WEIGHT + AMBIENT, 0.0, 1.0);

        const int red0 = static_cast<int>(th * 76 + 144);
        const int green0 = static_cast<int>(th * 60 + 160);
        const int blue0 = static_cast<int>(th * 116 + 104);
        red1 = static_cast<int>((GREY - red0) * ts + red0);
        green1 = static_cast<int>((GREY - green0) * ts + green0);
        blue1 = static_cast<int>((GREY - blue0) * ts + blue0);
    } else {
        // Deeper floor is bluer: (130, 170, 200) at h <= -0.5 to (144, 160, 104) at h >= 2.5.
        const double k = std::clamp(1 - (hd + 0.5) * (1.0 / 3), 0.0, 1.0);
        red1 = static_cast<int>(144 - 14 * k);
        green1 = static_cast<int>(160 + 10 * k);
        blue1 = static_cast<int>(104 + 96 * k);
    }
    const auto red = static_cast<std::uint32_t>(red1 * multiplier);
    const auto green = static_cast<std::uint32_t>(green1 * multiplier);
    const auto blue = static_cast<std::uint32_t>(blue1 * multiplier);
    return 0x80000000u | red << 16 | green << 8 | blue;
}

namespace {

// The colour of column (x, y), its neighbours taken across the wrap.
std::uint32_t colour_at(const terrain_fields& fields, int x, int y) {
    const int px = (x + MAP_SIZE - 1) % MAP_SIZE;  // column 0's neighbour is 511
    const int py = (y + MAP_SIZE - 1) % MAP_SIZE;
    const std::size_t c = column_index(x, y);
    return column_colour(fields.height[c], fields.height[column_index(px, y)], fields.height[column_index(x, py)],
                         fields.column_height[c]);
}

colour_row_inputs row_inputs(const terrain_fields& fields, int x) {
    return {fields.height + column_index(x, 0), fields.height + column_index((x + MAP_SIZE - 1) % MAP_SIZE, 0),
            fields.column_height + column_index(x, 0)};
}

// The row kernel of path.
using row_kernel = void (*)(const colour_row_inputs&, std::uint32_t*);
row_kernel voxel_row_kernel(vector_path path) {
    if (path == vector_path::avx512) return colour_row_voxels_avx512;
    return path == vector_path::avx2 ? colour_row_voxels_avx2 : colour_row_voxels_baseline;
}
row_kernel word_row_kernel(vector_path path) {
    if (path == vector_path::avx512) return colour_row_words_avx512;
    return path == vector_path::avx2 ? colour_row_words_avx2 : colour_row_words_baseline;
}

}  // namespace

// ---- into the voxels
//
// Each column's 64 words are stored as soon as they are known: the stores drain
// while the next columns are computed, which hides most of the arithmetic behind
// the memory traffic (a row computed first and stored afterwards takes a quarter
// longer). They are ordinary stores, not streaming ones: the first touch of each
// page has the kernel clear it just before, so its lines are still in the cache,
// and writing over them there measured some 8% faster than sending them past it.

void colour_columns_plain(const terrain_fields& fields, std::uint32_t* voxels) {
    for (int x = 0; x < MAP_SIZE; ++x)
        for (int y = 0; y < MAP_SIZE; ++y)
            std::fill_n(voxels + column_index(x, y) * MAP_DEPTH, MAP_DEPTH, colour_at(fields, x, y));
}

void colour_columns(const terrain_fields& fields, std::uint32_t* voxels) {
    colour_columns_with(fields, voxels, chosen_vector_path());
}

void colour_columns_with(const terrain_fields& fields, std::uint32_t* voxels, vector_path path) {
    const row_kernel colour_row = voxel_row_kernel(path);
    for (int x = 0; x < MAP_SIZE; ++x) colour_row(row_inputs(fields, x), voxels + column_index(x, 0) * MAP_DEPTH);
}

void colour_columns_of_row(const terrain_fields& fields, std::uint32_t* voxels, int x) {
    voxel_row_kernel(chosen_vector_path())(row_inputs(fields, x), voxels + column_index(x, 0) * MAP_DEPTH);
}

// ---- one word per column

void colour_column_words_plain(const terrain_fields& fields, std::uint32_t* words) {
    for (int x = 0; x < MAP_SIZE; ++x)
        for (int y = 0; y < MAP_SIZE; ++y) words[column_index(x, y)] = colour_at(fields, x, y);
}

void colour_column_words(const terrain_fields& fields, std::uint32_t* words) {
    colour_column_words_with(fields, words, chosen_vector_path());
}

void colour_column_words_with(const terrain_fields& fields, std::uint32_t* words, vector_path path) {
    const row_kernel colour_row = word_row_kernel(path);
    for (int x = 0; x < MAP_SIZE; ++x) colour_row(row_inputs(fields, x), words + column_index(x, 0));
}
