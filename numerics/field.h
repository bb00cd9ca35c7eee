// Whole-field noise operations on the 512 x 512 float fields of the volume
// (element of column (x, y) at x * 512 + y), walking storage order.
#pragma once

#include <cstdint>

struct noise_fill_tables;  // numerics/noise_fill.h

/// Overwrites field with gradient noise sampled over exactly one period in x and y at
/// height z, mapped onto lo..hi as ((n * k + 1) * 0.5) * (hi - lo) + lo with k = float(5/6).
/// With tables, the fill works in those rather than in tables of its own.
void fill_noise_field(float* field, std::int32_t period_x, std::int32_t period_y, float z, float lo, float hi,
                      noise_fill_tables* tables = nullptr);
/// Adds that noise into field: the bits of fill_noise_field into a field of its own
/// followed by add_field(field, that, 1), without that field. With total, the
/// sum is then added into it as well, as add_field(total, field, weight) does.
void add_noise_field(float* field, std::int32_t period_x, std::int32_t period_y, float z, float lo, float hi,
                     float* total = nullptr, float weight = 0, noise_fill_tables* tables = nullptr);
/// dst[p] = float(weight * src[p] + dst[p]) for every element; src is not written.
void add_field(float* dst, const float* src, float weight);
