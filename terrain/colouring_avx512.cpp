// The colouring's kernels for eight columns per step (AVX-512F), chosen at run time.
#include "terrain/colouring_kernels.h"

#include "terrain/avx512_kernel.h"
#include "volume/volume.h"

#if MAPGEN_HAS_X86_KERNELS

namespace {

using octet = __m512d;

MAPGEN_TARGET_AVX512 octet all(double v) { return _mm512_set1_pd(v); }
MAPGEN_TARGET_AVX512 octet round_to_float(octet v) { return _mm512_cvtps_pd(_mm512_cvtpd_ps(v)); }
// Toward zero, in one instruction; every value truncated here is positive, so the
// result is the integer conversion's, back in double.
MAPGEN_TARGET_AVX512 octet truncated(octet v) {
    return _mm512_roundscale_pd(v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
}
MAPGEN_TARGET_AVX512 octet clamped01(octet v) { return _mm512_min_pd(_mm512_max_pd(v, _mm512_setzero_pd()), all(1)); }
MAPGEN_TARGET_AVX512 octet smoothstep_of_clamped(octet c) {
    const octet c2 = c * c;
    return all(3) * c2 - all(2) * (c2 * c);
}
MAPGEN_TARGET_AVX512 octet smoothstep(octet t) { return smoothstep_of_clamped(clamped01(t)); }
// For t >= 0 (a sum of squares, scaled) only the upper clamp can act.
MAPGEN_TARGET_AVX512 octet smoothstep_nonnegative(octet t) { return smoothstep_of_clamped(_mm512_min_pd(t, all(1))); }

// q in [0, 1] gives q * LIGHT_WEIGHT + AMBIENT in [0.3, 1): the multiplier's clamp
// to [0, 1] never acts, and the kernel leaves it out.
static_assert(double(LIGHT_WEIGHT) + AMBIENT < 1 && AMBIENT > 0);
// trunc((120 - channel0) * ts + channel0)
MAPGEN_TARGET_AVX512 octet toward_grey(octet channel0, octet ts) {
    return truncated((all(GREY) - channel0) * ts + channel0);
}
MAPGEN_TARGET_AVX512 octet widened(const float* p) { return _mm512_cvtps_pd(_mm256_loadu_ps(p)); }

// Colour words of eight columns from their heights and those of their x - 1
// neighbours as floats, and their y - 1 neighbours' widened; floor has the bits of
// the floor columns' lanes. Floor columns come in patches: an octet with none of
// them (or only them) computes only the raised (or floor) colours.
MAPGEN_TARGET_AVX512 __m256i column_colours(__m256 h_float, __m256 h_prev_x, octet h_prev_y, __mmask8 floor) {
    octet red = all(0), green = all(0), blue = all(0), multiplier = all(1);
    const octet h = _mm512_cvtps_pd(h_float);
    if (floor != 0xFF) {  // raised columns
        // float((h - 4) * 0.05f), float(h - h_prev_x) and float(s2 * 0.625) by float
        // operations (colouring_kernels.h says why they give the same bits)
        const __m256 ramp = _mm256_mul_ps(_mm256_sub_ps(h_float, _mm256_set1_ps(4)), _mm256_set1_ps(HEIGHT_SCALE));
        const octet th = round_to_float(smoothstep(_mm512_cvtps_pd(ramp)));
        const octet gx = _mm512_cvtps_pd(_mm256_sub_ps(h_float, h_prev_x));
        const octet gy = h - h_prev_y;
        const __m256 s2_float = _mm512_cvtpd_ps(gy * gy + gx * gx);
        const octet s2 = _mm512_cvtps_pd(s2_float);
        const octet slope = _mm512_cvtps_pd(_mm256_mul_ps(s2_float, _mm256_set1_ps(0.625f)));
        const octet ts = round_to_float(smoothstep_nonnegative(slope));
        const octet q = clamped01((gx * all(LIGHT_X) + all(LIGHT_Z)) / _mm512_sqrt_pd(s2 + all(1)));
        multiplier = q * all(LIGHT_WEIGHT) + all(AMBIENT);
        red = toward_grey(truncated(th * all(76) + all(144)), ts);
        green = toward_grey(truncated(th * all(60) + all(160)), ts);
        blue = toward_grey(truncated(th * all(116) + all(104)), ts);
    }
    if (floor != 0) {  // floor columns: their tint, and no shading
        const octet k = clamped01(all(1) - (h + all(0.5)) * all(1.0 / 3));
        red = _mm512_mask_blend_pd(floor, red, truncated(all(144) - all(14) * k));
        green = _mm512_mask_blend_pd(floor, green, truncated(all(160) + all(10) * k));
        blue = _mm512_mask_blend_pd(floor, blue, truncated(all(104) + all(96) * k));
        multiplier = _mm512_mask_blend_pd(floor, multiplier, all(1));
    }

    const __m256i r = _mm512_cvttpd_epi32(red * multiplier);
    const __m256i g = _mm512_cvttpd_epi32(green * multiplier);
    const __m256i b = _mm512_cvttpd_epi32(blue * multiplier);
    const __m256i word = _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(r, 16), _mm256_slli_epi32(g, 8)), b);
    return _mm256_or_si256(word, _mm256_set1_epi32(static_cast<int>(0x80000000u)));
}

// Colour words of columns y to y + 7 of the row.
MAPGEN_TARGET_AVX512 __m256i octet_colours(const colour_row_inputs& row, int y) {
    const float* h = row.h;
    // Column 0's y-neighbour is column 511 of the same row.
    const octet prev_y =
        y == 0 ? _mm512_setr_pd(h[MAP_SIZE - 1], h[0], h[1], h[2], h[3], h[4], h[5], h[6]) : widened(h + y - 1);
    const __m256i zero = _mm256_cmpeq_epi32(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.column_height + y)), _mm256_setzero_si256());
    const auto floor = static_cast<__mmask8>(_mm256_movemask_ps(_mm256_castsi256_ps(zero)));
    return column_colours(_mm256_loadu_ps(h + y), _mm256_loadu_ps(row.h_prev_x + y), prev_y, floor);
}

}  // namespace

MAPGEN_TARGET_AVX512 void colour_row_voxels_avx512(const colour_row_inputs& row, std::uint32_t* voxels) {
    // Each column's 64 words are stored as soon as they are known (colouring.cpp says why).
    auto* out = reinterpret_cast<__m512i*>(voxels);
    for (int y = 0; y < MAP_SIZE; y += 8) {
        alignas(32) std::uint32_t words[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(words), octet_colours(row, y));
        for (const std::uint32_t word : words) {
            const __m512i line = _mm512_set1_epi32(static_cast<int>(word));
            for (int i = 0; i < MAP_DEPTH / 16; ++i) _mm512_store_si512(out++, line);
        }
    }
}

MAPGEN_TARGET_AVX512 void colour_row_words_avx512(const colour_row_inputs& row, std::uint32_t* words) {
    for (int y = 0; y < MAP_SIZE; y += 8)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(words + y), octet_colours(row, y));
}

#else

// No such processor to run on: the path is never chosen, and a call gets the same bits.
void colour_row_voxels_avx512(const colour_row_inputs& row, std::uint32_t* voxels) {
    colour_row_voxels_baseline(row, voxels);
}
void colour_row_words_avx512(const colour_row_inputs& row, std::uint32_t* words) {
    colour_row_words_baseline(row, words);
}

#endif
