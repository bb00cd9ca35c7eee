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
float draw_noise_depth(random_source& source) { return static_cast<float>(rng_unit(source) * 64); }

// Three layers of noise, coarse to fine in feature size, summed in fields.noise_a
// (each later layer added in as it is made), then added into fields.height with
// the given weight. Draws three values, one before each fill.
struct noise_layer {
    std::int32_t period;
    float lo, hi;
};
void add_noise_set(const terrain_fields& fields, random_source& source, const noise_layer (&layers)[3],
                   float weight) {
    fill_noise_field(fields.noise_a, layers[0].period, layers[0].period, draw_noise_depth(source), layers[0].lo,
                     layers[0].hi, fields.noise_tables);
    add_noise_field(fields.noise_a, layers[1].period, layers[1].period, draw_noise_depth(source), layers[1].lo,
                    layers[1].hi, nullptr, 0, fields.noise_tables);
    // The last layer completes the sum row by row, and each row goes into the
    // heights as it is complete.
    add_noise_field(fields.noise_a, layers[2].period, layers[2].period, draw_noise_depth(source), layers[2].lo,
                    layers[2].hi, fields.height, weight, fields.noise_tables);
}

// Shapes the terrain: roughens the profile heights (draws 19 to 21).
constexpr noise_layer TERRAIN_NOISE[3] = {{64, -0.5f, 0.5f}, {128, 0, 1}, {256, -1, 0}};
// Seen by the colours only (draws 22 to 24): the columns are already solid.
constexpr noise_layer COLOUR_NOISE[3] = {{32, 0, 1}, {128, 0, 0.2f}, {256, 0, static_cast<float>(1.0 / 12)}};

}  // namespace

// ---- the stages

void shape_heights(const terrain_fields& fields, random_source& source) {
    fill_profile_heights(draw_shape_params(source), fields);  // draws 1 to 18
    add_noise_set(fields, source, TERRAIN_NOISE, 1);          // draws 19 to 21
}

void shape_heights_plain(const terrain_fields& fields, random_source& source) {
    fill_profile_heights_plain(draw_shape_params(source), fields);
    add_noise_set(fields, source, TERRAIN_NOISE, 1);
}

void add_colour_noise(const terrain_fields& fields, random_source& source) {
    add_noise_set(fields, source, COLOUR_NOISE, 2);  // draws 22 to 24
}

std::int32_t column_height_of(float h) {
    const auto trunc = static_cast<std::int32_t>(h);  // toward zero: -0.99 gives 0
    return std::max(trunc, 0);
}

void fill_column_heights(const terrain_fields& fields) {
    for (std::size_t c = 0; c < COLUMN_COUNT; ++c) fields.column_height[c] = column_height_of(fields.height[c]);
}

void fill_solid_columns_plain(const terrain_fields& fields, std::uint8_t* solid) {
    for (std::size_t c = 0; c < COLUMN_COUNT; ++c) {
        const std::int32_t h = column_height_of(fields.height[c]);
        fields.column_height[c] = h;
        std::uint8_t* column = solid + c * MAP_DEPTH;
        for (int z = 0; z < MAP_DEPTH; ++z) column[z] = z <= h ? 1 : 0;
    }
}

#if defined(__SSE2__)

void fill_solid_columns(const terrain_fields& fields, std::uint8_t* solid) {
    // A column is 64 bytes: four 16-byte compares of z against the height, and
    // four streaming stores, so each line goes to memory once without being read.
    const __m128i z_first[4] = {
        _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
        _mm_setr_epi8(16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31),
        _mm_setr_epi8(32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47),
        _mm_setr_epi8(48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63),
    };
    const __m128i ones = _mm_set1_epi8(1);
    auto* out = reinterpret_cast<__m128i*>(solid);  // 64-byte columns, 64-byte aligned
    for (std::size_t c = 0; c < COLUMN_COUNT; ++c) {
        const std::int32_t h = column_height_of(fields.height[c]);
        fields.column_height[c] = h;
        // Solid voxels: z < solid count, with the count cut to 64 so it fits a byte.
        const __m128i count = _mm_set1_epi8(static_cast<char>(std::min(h, MAP_DEPTH - 1) + 1));
        for (const __m128i& z : z_first) _mm_stream_si128(out++, _mm_and_si128(_mm_cmpgt_epi8(count, z), ones));
    }
    _mm_sfence();  // the streamed lines are visible before anything reads them
}

#else

void fill_solid_columns(const terrain_fields& fields, std::uint8_t* solid) { fill_solid_columns_plain(fields, solid); }

#endif

// ---- on the volume, from the process-wide source

void shape_terrain() {
    const terrain_fields fields = volume_terrain_fields();
    random_source& source = rng_process_source();
    shape_heights(fields, source);
    fill_solid_columns(fields, solid_map);
    add_colour_noise(fields, source);
}

void generate_terrain() {
    shape_terrain();
    colour_columns(volume_terrain_fields(), color_map);
}

void generate_terrain_plain() {
    const terrain_fields fields = volume_terrain_fields();
    shape_heights_plain(fields, rng_process_source());
    fill_solid_columns_plain(fields, solid_map);
    add_colour_noise(fields, rng_process_source());
    colour_columns_plain(fields, color_map);
}
