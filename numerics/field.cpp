// Noise layers over the 512 x 512 planar fields. Arithmetic is double; each value
// is rounded to float where marked, once, with every later use taking the rounded
// value. The plain fill writes elements in storage order, x outer and y inner;
// the fast fill, where it applies, writes the same bits band by band.
#include "numerics/field.h"

#include <bit>
#include <cstddef>

#include "numerics/noise.h"
#include "numerics/noise_fill.h"

namespace {

constexpr int FIELD_SIDE = 512;

// The mapping's scale is 5/6 as a float (0.8333333134651184), not as a double:
// the float's bits are the constant, and the map depends on them.
constexpr float NOISE_SCALE = std::bit_cast<float>(0x3F555555u);

}  // namespace

void fill_noise_field(float* field, std::int32_t period_x, std::int32_t period_y, float z, float lo, float hi) {
    // Each element is independent of the others, so the order of writing is free;
    // the bits are the plain fill's either way.
    if (noise_fill_covers(period_x, period_y, z))
        fill_noise_field_fast(best_noise_fill_path(), field, period_x, period_y, z, lo, hi);
    else
        fill_noise_field_plain(field, period_x, period_y, z, lo, hi);
}

void fill_noise_field_plain(float* field, std::int32_t period_x, std::int32_t period_y, float z, float lo, float hi) {
    // 512 samples cover one period on each axis, so the field tiles: the sample
    // after the last one on an axis would be the noise at its period, equal to sample 0.
    const float step_x = static_cast<float>(period_x * 0.001953125);
    const float step_y = static_cast<float>(period_y * 0.001953125);
    const float span = static_cast<float>(static_cast<double>(hi) - lo);
    const double k = NOISE_SCALE;

    for (int i = 0; i < FIELD_SIDE; ++i) {
        const float x = static_cast<float>(i * static_cast<double>(step_x));
        for (int j = 0; j < FIELD_SIDE; ++j) {
            const float y = static_cast<float>(j * static_cast<double>(step_y));
            // z is never wrapped (period 0); n stays double.
            const double n = gradient_noise(x, y, z, period_x, period_y, 0);
            field[i * FIELD_SIDE + j] = static_cast<float>(((n * k + 1) * 0.5) * span + lo);
        }
    }
}

void add_field(float* dst, const float* src, float weight) {
    add_weighted(best_noise_fill_path(), dst, src, weight, std::size_t{FIELD_SIDE} * FIELD_SIDE);
}
