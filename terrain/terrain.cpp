#include "terrain/terrain.h"

#include <algorithm>

#include "numerics/field.h"
#include "numerics/rng.h"
#include "terrain/volume.h"

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

void fill_solid_columns() {
    for (std::size_t c = 0; c < COLUMN_COUNT; ++c) {
        const std::int32_t h = column_height_of(height_field[c]);
        column_height[c] = h;
        std::uint8_t* column = solid_map + c * MAP_DEPTH;
        for (int z = 0; z < MAP_DEPTH; ++z) column[z] = z <= h ? 1 : 0;
    }
}

void generate_terrain() {
    fill_profile_heights(draw_shape_params());  // draws 1 to 18
    add_noise_set(TERRAIN_NOISE, 1);            // draws 19 to 21
    fill_solid_columns();
    add_noise_set(COLOUR_NOISE, 2);             // draws 22 to 24
    colour_columns();
}
