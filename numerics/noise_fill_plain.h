// The literal noise fill: one gradient_noise call per element, in storage order.
// It is the reference every faster fill is held to, bit for bit, and the fill for
// the arguments they do not take. It calls nothing but the noise.
#pragma once

#include <bit>
#include <cstdint>

/// Elements along each side of a field: the field of column (x, y) is at x * 512 + y.
constexpr int FIELD_SIDE = 512;
/// The mapping's scale is 5/6 as a float (0.8333333134651184), not as a double:
/// the float's bits are the constant, and the map depends on them.
constexpr float NOISE_SCALE = std::bit_cast<float>(0x3F555555u);

/// field[i * 512 + j] = float(((n * NOISE_SCALE + 1) * 0.5) * float(hi - lo) + lo), n the
/// noise at (float(i * float(period_x / 512)), float(j * float(period_y / 512)), z)
/// with periods period_x, period_y and 0; elements written in storage order.
void fill_noise_field_plain(float* field, std::int32_t period_x, std::int32_t period_y, float z, float lo, float hi);
