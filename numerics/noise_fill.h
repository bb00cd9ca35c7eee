// The fast noise fill: the same field as one gradient_noise call per element, bit
// for bit, because every value goes through the same IEEE double operations in the
// same order with the same roundings to float. What it saves is repetition: z is
// the same for the whole field, a sample's offset within its lattice cell repeats
// from cell to cell, a corner contribution depends only on its gradient record and
// its offsets, and so does the x blend of two of them on the records of its two
// ends; those are computed once per field (or per band of rows). The plain fill
// (numerics/noise_fill_plain.h) stays as the reference and the fallback.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/vector_path.h"

/// Whether the fast fill's tables take these arguments: power-of-two periods from 8
/// to 256 on both axes and 0 <= z < 256. Anything else goes to the plain fill.
bool noise_fill_covers(std::int32_t period_x, std::int32_t period_y, float z);
/// fill_noise_field through path, which must be supported; arguments that are not
/// covered get the plain fill. Every path gives the same bits; they differ only in
/// how many samples one instruction carries (1, 4 or 8 doubles).
void fill_noise_field_fast(vector_path path, float* field, std::int32_t period_x, std::int32_t period_y, float z,
                           float lo, float hi);

/// Adds the noise fill_noise_field_fast makes into field: field[p] = float(1 * noise[p]
/// + field[p]) for every element, the bits of that fill into a field of its own
/// followed by add_weighted with weight 1, without that field. With total, field is
/// then added into it as well: add_weighted(path, total, field, weight, 512 * 512).
void add_noise_field_fast(vector_path path, float* field, std::int32_t period_x, std::int32_t period_y, float z,
                          float lo, float hi, float* total = nullptr, float weight = 0);

/// dst[i] = float(weight * src[i] + dst[i]) for i < count, in double, through path
/// (which must be supported): the same bits on every path.
void add_weighted(vector_path path, float* dst, const float* src, float weight, std::size_t count);
