// Which vector instructions the generator's fast stages run on. Every path gives
// the same bits, because each lane goes through the same IEEE double operations in
// the same order as the plain code (never fused), with the same roundings to float;
// the paths differ only in how many columns one instruction carries. The baseline
// needs nothing beyond the build's target (two double lanes of SSE2 on x86-64, one
// column at a time elsewhere); AVX-512 is used only where the processor reports it.
#pragma once

#include <cstdint>

#include "terrain/height_profile.h"

enum class vector_path { baseline, avx512 };

/// Whether this build, on this processor, can run path (baseline: always).
bool vector_path_supported(vector_path path);
/// The widest path this processor supports; asked once, then remembered.
vector_path best_vector_path();

// ---- between the fast stages and their kernels

/// What all rows of the whole-map height fill share: per column y its blend
/// factor, its offset from the centre and its odd square (2j + 1)^2, and the ring
/// weight of every distance, by slot (n - 2) / 8 of n = odd square x + odd square y.
struct profile_columns {
    double sy[512];
    double dy[512];
    std::int32_t ny[512];
    const double* weight;
};

/// The heights of one row, whose odd square is nx, into heights[0..511], eight
/// columns at a time (AVX-512F; x86 only).
void fill_row_heights_avx512(float* heights, const row_profile& row, std::int32_t nx, const profile_columns& columns);
/// The colours of row x, eight columns at a time, streamed into color_map (AVX-512F;
/// x86 only).
void colour_row_avx512(int x);
