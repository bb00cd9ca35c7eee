// Tileable three-dimensional gradient noise (improved-noise lattice, quintic fade,
// twelve edge gradients) with a period per axis, evaluated in double with fixed
// points of rounding to float so that every machine gets the same bits.
#pragma once

#include <cstdint>

#include "numerics/exact_double.h"

/// Permutation of 0..255, stored twice so that a table value plus a wrapped lattice
/// coordinate (at most 510) needs no further wrapping.
extern const std::int32_t noise_permutation[512];
/// How many gradients there are: the records of gradient_vectors.
constexpr int GRADIENT_RECORDS = 12;
/// The twelve gradients (gx, gy, gz, 0).
extern const float gradient_vectors[GRADIENT_RECORDS][4];
/// Record number of gradient_vectors for each value of the low six hash bits.
extern const std::uint8_t gradient_select[64];

/// Noise at (x, y, z). Each axis wraps its lattice with the mask period - 1, so a
/// power-of-two period from 1 to 256 repeats exactly; 256 or more acts as 256, and 0
/// leaves the axis unwrapped, where floor(coordinate) must lie in 0..255. Exactly 0 at
/// lattice points; not clamped (|n| may slightly exceed 1). Pure: no state.
double gradient_noise(float x, float y, float z, std::int32_t period_x, std::int32_t period_y, std::int32_t period_z);
/// (dy * gy + dz * gz) + dx * gx for the gradient that the low six bits of hash select.
double gradient_dot(std::int32_t hash, float dx, float dy, float dz);
/// (b - a) * t + a, in double.
double lerp(float a, float b, float t);
/// 6t^5 - 15t^4 + 10t^3, evaluated in double as ((((t * 6 - 15) * t + 10) * t) * t) * t
/// and rounded to float once.
float fade(float t);
