// Between the colouring and its per-path kernels, which colour one x-row of 512
// columns at a time. Each lane of a vector is one column and goes through the IEEE
// operations of column_colour in the same order (no fused multiply-add, nothing
// regrouped), so it gets exactly column_colour's bits. Rounding to float is a round
// trip through single precision (to nearest even, like the scalar conversion);
// truncation is cvttpd2dq, exact for the small values it meets. Clamping uses min
// and max: unlike std::clamp they turn -0 into +0, and no colour depends on the sign
// of a zero. smoothstep01 clamps before its polynomial, which is exactly 0 at 0 and
// exactly 1 at 1, so it needs no branch.
//
// Three steps of the vector kernels are float operations instead, with the same
// bits. gx = float(h - h_prev_x) and the slope's float(s2 * 0.625) are each one
// operation on two floats, rounded to double and then to float; a double's 53
// bits exceed 2 * 24 + 1, so that lands where rounding once to float does. The
// height ramp's float((h - 4) * 0.05f) takes h - 4 in float too: that is exact for
// 4 < h < 2^26 (4 is a multiple of the float step of such an h), and elsewhere
// both ways give a value that the smoothstep's clamp takes to 0 (h <= 4) or to 1.
#pragma once

#include <cstdint>

// The colouring's constants, shared by column_colour and every kernel. Float
// constants are widened to double; the doubles nearest 0.05 and 0.7 would give
// different colours.
constexpr float HEIGHT_SCALE = 0.05f;  // th ramps from h = 4 to h = 24
constexpr float LIGHT_WEIGHT = 0.7f;   // share of the light in the multiplier
constexpr int GREY = 120;              // steep slopes fade toward this level
// Light falls along the unit vector (0.6, 0, 0.8); these are doubles.
constexpr double LIGHT_X = 0.6;
constexpr double LIGHT_Z = 0.8;
constexpr double AMBIENT = 0.3;

/// What the colours of x-row x are made from.
struct colour_row_inputs {
    const float* h;                     ///< heights of row x
    const float* h_prev_x;              ///< heights of row x - 1 (511 for x = 0)
    const std::int32_t* column_height;  ///< column heights of row x
};

/// The row's colour words into all 64 voxels of each of its columns (32,768 words,
/// 64-byte aligned), two columns per step on SSE2 (the x86-64 baseline).
void colour_row_voxels_baseline(const colour_row_inputs& row, std::uint32_t* voxels);
/// The row's colour words, one per column (512 words).
void colour_row_words_baseline(const colour_row_inputs& row, std::uint32_t* words);
/// The same two, eight columns per step (AVX-512F). Call only where that path is
/// supported; builds without x86 kernels fall back to the baseline.
void colour_row_voxels_avx512(const colour_row_inputs& row, std::uint32_t* voxels);
void colour_row_words_avx512(const colour_row_inputs& row, std::uint32_t* words);
/// The same two, four columns per step (AVX2), under the same conditions.
void colour_row_voxels_avx2(const colour_row_inputs& row, std::uint32_t* voxels);
void colour_row_words_avx2(const colour_row_inputs& row, std::uint32_t* words);
