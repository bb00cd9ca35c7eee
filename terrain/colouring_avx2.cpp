// The colouring's kernels for four columns per step (AVX2), chosen at run time:
// the AVX-512 kernel's steps on half its width, with blends where it has masks.
#include "terrain/colouring_kernels.h"

#include "platform/target_attributes.h"
#include "volume/volume.h"

#if MAPGEN_HAS_X86_KERNELS

#include <immintrin.h>

namespace {

using quad = __m256d;

MAPGEN_TARGET_AVX2 quad all(double v) { return _mm256_set1_pd(v); }
MAPGEN_TARGET_AVX2 quad round_to_float(quad v) { return _mm256_cvtps_pd(_mm256_cvtpd_ps(v)); }
// Toward zero, in one instruction; every value truncated here is positive, so the
// result is the integer conversion's, back in double.
MAPGEN_TARGET_AVX2 quad truncated(quad v) { return _mm256_round_pd(v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }
MAPGEN_TARGET_AVX2 quad clamped01(quad v) { return _mm256_min_pd(_mm256_max_pd(v, _mm256_setzero_pd()), all(1)); }
MAPGEN_TARGET_AVX2 quad smoothstep_of_clamped(quad c) {
    const quad c2 = c * c;
    return all(3) * c2 - all(2) * (c2 * c);
}
MAPGEN_TARGET_AVX2 quad smoothstep(quad t) { return smoothstep_of_clamped(clamped01(t)); }
// For t >= 0 (a sum of squares, scaled) only the upper clamp can act.
MAPGEN_TARGET_AVX2 quad smoothstep_nonnegative(quad t) { return smoothstep_of_clamped(_mm256_min_pd(t, all(1))); }

// q in [0, 1] gives q * LIGHT_WEIGHT + AMBIENT in [0.3, 1): the multiplier's clamp
// to [0, 1] never acts, and the kernel leaves it out.
static_assert(double(LIGHT_WEIGHT) + AMBIENT < 1 && AMBIENT > 0);
// trunc((120 - channel0) * ts + channel0)
MAPGEN_TARGET_AVX2 quad toward_grey(quad channel0, quad ts) {
    return truncated((all(GREY) - channel0) * ts + channel0);
}

// Colour words of four columns from their heights and those of their x - 1
// neighbours as floats, and their y - 1 neighbours' widened; floor is all ones in
// the floor columns' lanes. Floor columns come in patches: four columns with none
// of them (or only them) compute only the raised (or floor) colours.
MAPGEN_TARGET_AVX2 __m128i column_colours(__m128 h_float, __m128 h_prev_x, quad h_prev_y, quad floor) {
    const int floor_lanes = _mm256_movemask_pd(floor);
    quad red = all(0), green = all(0), blue = all(0), multiplier = all(1);
    const quad h = _mm256_cvtps_pd(h_float);
    if (floor_lanes != 0xF) {  // raised columns
        // float((h - 4) * 0.05f), float(h - h_prev_x) and float(s2 * 0.625) by float
        // operations (colouring_kernels.h says why they give the same bits)
        const __m128 ramp = _mm_mul_ps(_mm_sub_ps(h_float, _mm_set1_ps(4)), _mm_set1_ps(HEIGHT_SCALE));
        const quad th = round_to_float(smoothstep(_mm256_cvtps_pd(ramp)));
        const quad gx = _mm256_cvtps_pd(_mm_sub_ps(h_float, h_prev_x));
        const quad gy = h - h_prev_y;
        const __m128 s2_float = _mm256_cvtpd_ps(gy * gy + gx * gx);
        const quad s2 = _mm256_cvtps_pd(s2_float);
        const quad slope = _mm256_cvtps_pd(_mm_mul_ps(s2_float, _mm_set1_ps(0.625f)));
        const quad ts = round_to_float(smoothstep_nonnegative(slope));
        const quad q = clamped01((gx * all(LIGHT_X) + all(LIGHT_Z)) / _mm256_sqrt_pd(s2 + all(1)));
        multiplier = q * all(LIGHT_WEIGHT) + all(AMBIENT);
        red = toward_grey(truncated(th * all(76) + all(144)), ts);
        green = toward_grey(truncated(th * all(60) + all(160)), ts);
        blue = toward_grey(truncated(th * all(116) + all(104)), ts);
    }
    if (floor_lanes != 0) {  // floor columns: their tint, and no shading
        const quad k = clamped01(all(1) - (h + all(0.5)) * all(1.0 / 3));
        red = _mm256_blendv_pd(red, truncated(all(144) - all(14) * k), floor);
        green = _mm256_blendv_pd(green, truncated(all(160) + all(10) * k), floor);
        blue = _mm256_blendv_pd(blue, truncated(all(104) + all(96) * k), floor);
        multiplier = _mm256_blendv_pd(multiplier, all(1), floor);
    }

    const __m128i r = _mm256_cvttpd_epi32(red * multiplier);
    const __m128i g = _mm256_cvttpd_epi32(green * multiplier);
    const __m128i b = _mm256_cvttpd_epi32(blue * multiplier);
    const __m128i word = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(r, 16), _mm_slli_epi32(g, 8)), b);
    return _mm_or_si128(word, _mm_set1_epi32(static_cast<int>(0x80000000u)));
}

// Colour words of columns y to y + 3 of the row.
MAPGEN_TARGET_AVX2 __m128i quad_colours(const colour_row_inputs& row, int y) {
    const float* h = row.h;
    // Column 0's y-neighbour is column 511 of the same row.
    const quad prev_y = y == 0 ? _mm256_setr_pd(h[MAP_SIZE - 1], h[0], h[1], h[2]) : _mm256_cvtps_pd(_mm_loadu_ps(h + y - 1));
    const __m128i zero = _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row.column_height + y)),
                                         _mm_setzero_si128());
    const quad floor = _mm256_castsi256_pd(_mm256_cvtepi32_epi64(zero));
    return column_colours(_mm_loadu_ps(h + y), _mm_loadu_ps(row.h_prev_x + y), prev_y, floor);
}

}  // namespace

MAPGEN_TARGET_AVX2 void colour_row_voxels_avx2(const colour_row_inputs& row, std::uint32_t* voxels) {
    // Each column's 64 words are stored as soon as they are known (colouring.cpp says why).
    auto* out = reinterpret_cast<__m256i*>(voxels);
    for (int y = 0; y < MAP_SIZE; y += 4) {
        alignas(16) std::uint32_t words[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(words), quad_colours(row, y));
        for (const std::uint32_t word : words) {
            const __m256i line = _mm256_set1_epi32(static_cast<int>(word));
            for (int i = 0; i < MAP_DEPTH / 8; ++i) _mm256_store_si256(out++, line);
        }
    }
}

MAPGEN_TARGET_AVX2 void colour_row_words_avx2(const colour_row_inputs& row, std::uint32_t* words) {
    for (int y = 0; y < MAP_SIZE; y += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(words + y), quad_colours(row, y));
}

#else

// No such processor to run on: the path is never chosen, and a call gets the same bits.
void colour_row_voxels_avx2(const colour_row_inputs& row, std::uint32_t* voxels) {
    colour_row_voxels_baseline(row, voxels);
}
void colour_row_words_avx2(const colour_row_inputs& row, std::uint32_t* words) {
    colour_row_words_baseline(row, words);
}

#endif
