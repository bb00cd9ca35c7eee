// Between fill_profile_heights and its per-path kernels, which fill one x-row of
// heights at a time. Every kernel gives the bits of profile_height: each lane goes
// through blend_height's IEEE operations in the same order (never fused), with the
// same roundings to float.
#pragma once

#include <cstdint>

#include "terrain/height_profile.h"
#include "volume/volume.h"

// The distance R of column (x, y) from the profile's centre is a function of
// n = (2 j_x + 1)^2 + (2 j_y + 1)^2 alone, n_x + n_y of the odd squares of its row
// and column (height_profile.cpp says why), and so is its ring weight: both are
// kept by slot (n - 2) / 8.
constexpr int WEIGHT_SLOTS = (2 * 511 * 511 - 2) / 8 + 1;
/// slot of the distance of n
constexpr int weight_slot(int n) { return (n - 2) / 8; }

/// The ring weight of a distance and the distance R itself (a float, widened).
struct ring_entry {
    double weight;
    double R;
};

/// What all rows share: per column y its blend factor and its odd square, and the
/// ring entry of every distance that occurs, by slot.
struct profile_columns {
    const double* sy;
    const std::int32_t* ny;
    const ring_entry* ring;
};

/// Height of a column from its row, blend factor sy, distance R and ring weight w.
float blend_height(const row_profile& row, double sy, double R, double w);

/// The 512 heights of one row, whose odd square is nx, into heights: two columns
/// per step on SSE2 (the x86-64 baseline), one elsewhere.
void fill_row_heights_baseline(float* heights, const row_profile& row, std::int32_t nx,
                               const profile_columns& columns);
/// The same, eight columns per step (AVX-512F). Call only where that path is
/// supported; builds without x86 kernels fall back to the baseline.
void fill_row_heights_avx512(float* heights, const row_profile& row, std::int32_t nx,
                             const profile_columns& columns);
