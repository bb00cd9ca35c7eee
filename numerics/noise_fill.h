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

#include "numerics/noise.h"
#include "numerics/noise_fill_plain.h"
#include "platform/vector_path.h"

/// Widest band the fast fill's tables hold: a cell of 64 samples (period 8) in one row.
constexpr int NOISE_TABLE_LANES = 64;

/// The working tables of one fast fill, some 350 KiB; what they hold from one fill
/// to the next means nothing. A fill that is lent none keeps its own on the stack,
/// where each page it touches first costs a page fault (some 30 of them in a fresh
/// process, each an exit to the host in a virtual machine): a caller with memory
/// already mapped and idle meanwhile does better to lend it.
struct alignas(64) noise_fill_tables {
    double corners[8 * GRADIENT_RECORDS * NOISE_TABLE_LANES];
    double edges[4 * GRADIENT_RECORDS * GRADIENT_RECORDS * NOISE_TABLE_LANES];
    double u[NOISE_TABLE_LANES], v[NOISE_TABLE_LANES];
    std::int32_t pairs[2][257];
    float scratch[2][FIELD_SIDE];  ///< a band's rows when they are added in
};

/// Whether the fast fill's tables take these arguments: power-of-two periods from 8
/// to 256 on both axes and 0 <= z < 256. Anything else goes to the plain fill.
bool noise_fill_covers(std::int32_t period_x, std::int32_t period_y, float z);
/// fill_noise_field through path, which must be supported; arguments that are not
/// covered get the plain fill. Every path gives the same bits; they differ only in
/// how many samples one instruction carries (1, 4 or 8 doubles). With tables, the
/// fill works in those.
void fill_noise_field_fast(vector_path path, float* field, std::int32_t period_x, std::int32_t period_y, float z,
                           float lo, float hi, noise_fill_tables* tables = nullptr);

/// Adds the noise fill_noise_field_fast makes into field: field[p] = float(1 * noise[p]
/// + field[p]) for every element, the bits of that fill into a field of its own
/// followed by add_weighted with weight 1, without that field. With total, field is
/// then added into it as well: add_weighted(path, total, field, weight, 512 * 512).
/// With tables, the fill works in those.
void add_noise_field_fast(vector_path path, float* field, std::int32_t period_x, std::int32_t period_y, float z,
                          float lo, float hi, float* total = nullptr, float weight = 0,
                          noise_fill_tables* tables = nullptr);

/// dst[i] = float(weight * src[i] + dst[i]) for i < count, in double, through path
/// (which must be supported): the same bits on every path.
void add_weighted(vector_path path, float* dst, const float* src, float weight, std::size_t count);
