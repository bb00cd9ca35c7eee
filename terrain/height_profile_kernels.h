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
// kept by slot (n - 2) / 8, and looked up once for each pair of mirrored rows.
constexpr int WEIGHT_SLOTS = (2 * 511 * 511 - 2) / 8 + 1;
/// slot of the distance of n
constexpr int weight_slot(int n) { return (n - 2) / 8; }

/// The ring weight of a distance and the distance R itself (a float, widened).
struct ring_entry {
    double weight;
    double R;
};

/// The ring weight and distance R of every column of a row, in column order: a row
/// and its mirror 511 - x have the same ones, and column y those of 511 - y.
struct ring_row {
    alignas(64) double weight[MAP_SIZE];
    alignas(64) double R[MAP_SIZE];
};

/// The ring row of rows x and 511 - x from the table by slot, where n_x is the odd
/// square of x: column y (y < 256) takes slot (n_x + (2y + 1)^2 - 2) / 8, and column
/// 511 - y the same entry. One column at a time.
void fill_ring_row_baseline(ring_row& out, const ring_entry* ring, std::int32_t n_x);
/// The same, eight columns per step with gathers (AVX-512F).
void fill_ring_row_avx512(ring_row& out, const ring_entry* ring, std::int32_t n_x);
/// The same, four columns per step with gathers (AVX2).
void fill_ring_row_avx2(ring_row& out, const ring_entry* ring, std::int32_t n_x);

/// Height of a column from its row, blend factor sy, distance R and ring weight w.
float blend_height(const row_profile& row, double sy, double R, double w);

/// The 512 heights of one row into heights, from its ring row and the blend factor
/// sy of every column: two columns per step on SSE2 (the x86-64 baseline), one
/// elsewhere.
void fill_row_heights_baseline(float* heights, const row_profile& row, const ring_row& ring, const double* sy);
/// The same, eight columns per step (AVX-512F). Call only where that path is
/// supported; builds without x86 kernels fall back to the baseline.
void fill_row_heights_avx512(float* heights, const row_profile& row, const ring_row& ring, const double* sy);
/// The same, four columns per step (AVX2), under the same conditions.
void fill_row_heights_avx2(float* heights, const row_profile& row, const ring_row& ring, const double* sy);
