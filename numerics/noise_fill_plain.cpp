// Arithmetic is double; each value is rounded to float where marked, once, with
// every later use taking the rounded value. Elements are written in storage
// order, x outer and y inner.
#include "numerics/noise_fill_plain.h"

#include "numerics/noise.h"

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
