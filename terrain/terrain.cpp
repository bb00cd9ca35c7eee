#include "terrain/terrain.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "numerics/field.h"
#include "numerics/rng.h"
#include "volume/volume.h"

namespace {

// The noise volume is cut at a height drawn just before each fill.
float draw_noise_depth() { return static_cast<float>(rng_unit() * 64); }

// Three layers of noise, coarse to fine in feature size, summed in noise_field_a
// (each later layer made in noise_field_b and added in), then added into
// height_field with the given weight. Draws three values, one before each fill.
struct noise_layer {
    std::int32_t period;
    float lo, hi;
};
void add_noise_set(const noise_layer (&layers)[3], float weight) {
    fill_noise_field(noise_field_a, layers[0].period, layers[0].period, draw_noise_depth(), layers[0].lo, layers[0].hi);
    for (int i = 1; i < 3; ++i) {
        fill_noise_field(noise_field_b, layers[i].period, layers[i].period, draw_noise_depth(), layers[i].lo,
                         layers[i].hi);
        add_field(noise_field_a, noise_field_b, 1);
    }
    add_field(height_field, noise_field_a, weight);
}

// Shapes the terrain: roughens the profile heights (draws 19 to 21).
constexpr noise_layer TERRAIN_NOISE[3] = {{64, -0.5f, 0.5f}, {128, 0, 1}, {256, -1, 0}};
// Seen by the colours only (draws 22 to 24): the columns are already solid.
constexpr noise_layer COLOUR_NOISE[3] = {{32, 0, 1}, {128, 0, 0.2f}, {256, 0, static_cast<float>(1.0 / 12)}};

}  // namespace

std::int32_t column_height_of(float h) {
    const auto trunc = static_cast<std::int32_t>(h);  // toward zero: -0.99 gives 0
    return std::max(trunc, 0);
}

void fill_solid_columns_plain() {
    for (std::size_t c = 0; c < COLUMN_COUNT; ++c) {
        const std::int32_t h = column_height_of(height_field[c]);
        column_height[c] = h;
        std::uint8_t* column = solid_map + c * MAP_DEPTH;
        for (int z = 0; z < MAP_DEPTH; ++z) column[z] = z <= h ? 1 : 0;
    }
}

#if defined(__SSE2__)

void fill_solid_columns() {
    // A column is 64 bytes: four 16-byte compares of z against the height, and
    // four streaming stores, so each line goes to memory once without being read.
    const __m128i z_first[4] = {
        _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
        _mm_setr_epi8(16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31),
        _mm_setr_epi8(32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47),
        _mm_setr_epi8(48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63),
    };
    const __m128i ones = _mm_set1_epi8(1);
    auto* out = reinterpret_cast<__m128i*>(solid_map);  // 64-byte columns in 2 MiB aligned storage
    for (std::size_t c = 0; c < COLUMN_COUNT; ++c) {
        const std::int32_t h = column_height_of(height_field[c]);
        column_height[c] = h;
        // Solid voxels: z < solid count, with the count cut to 64 so it fits a byte.
        const __m128i count = _mm_set1_epi8(static_cast<char>(std::min(h, MAP_DEPTH - 1) + 1));
        for (const __m128i& z : z_first) _mm_stream_si128(out++, _mm_and_si128(_mm_cmpgt_epi8(count, z), ones));
    }
    _mm_sfence();  // the streamed lines are visible before anything reads them
}

#else

void fill_solid_columns() { fill_solid_columns_plain(); }

#endif

void shape_terrain() {
    fill_profile_heights(draw_shape_params());  // draws 1 to 18
    add_noise_set(TERRAIN_NOISE, 1);            // draws 19 to 21
    fill_solid_columns();
    add_noise_set(COLOUR_NOISE, 2);             // draws 22 to 24
}

void generate_terrain() {
    shape_terrain();
    colour_columns();
}

void generate_terrain_plain() {
    fill_profile_heights_plain(draw_shape_params());
    add_noise_set(TERRAIN_NOISE, 1);
    fill_solid_columns_plain();
    add_noise_set(COLOUR_NOISE, 2);
    colour_columns_plain();
}
