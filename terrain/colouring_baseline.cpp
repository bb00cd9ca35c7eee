// The colouring's baseline kernels: two columns per step, one per double lane of
// SSE2, on x86-64 (whose every processor has it); one column at a time through
// column_colour on other targets.
#include "terrain/colouring_kernels.h"

#include <algorithm>

#include "terrain/colouring.h"
#include "volume/volume.h"

#if defined(__SSE2__)

#include <emmintrin.h>

namespace {

using pair = __m128d;

pair all(double v) { return _mm_set1_pd(v); }
pair round_to_float(pair v) { return _mm_cvtps_pd(_mm_cvtpd_ps(v)); }
pair truncated(pair v) { return _mm_cvtepi32_pd(_mm_cvttpd_epi32(v)); }
pair clamped01(pair v) { return _mm_min_pd(_mm_max_pd(v, _mm_setzero_pd()), all(1)); }
pair smoothstep_of_clamped(pair c) {
    const pair c2 = c * c;
    return all(3) * c2 - all(2) * (c2 * c);
}
pair smoothstep(pair t) { return smoothstep_of_clamped(clamped01(t)); }
// For t >= 0 (a sum of squares, scaled) only the upper clamp can act.
pair smoothstep_nonnegative(pair t) { return smoothstep_of_clamped(_mm_min_pd(t, all(1))); }

// q in [0, 1] gives q * LIGHT_WEIGHT + AMBIENT in [0.3, 1): the multiplier's clamp
// to [0, 1] never acts, and the kernel leaves it out.
static_assert(double(LIGHT_WEIGHT) + AMBIENT < 1 && AMBIENT > 0);
// trunc((120 - channel0) * ts + channel0)
pair toward_grey(pair channel0, pair ts) { return truncated((all(GREY) - channel0) * ts + channel0); }
// Two adjacent floats, in the low half, and the same as doubles.
__m128 two_floats(const float* p) { return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))); }
pair widened(const float* p) { return _mm_cvtps_pd(two_floats(p)); }

// Colour words of two columns (in the low half) from their heights and those of
// their x - 1 neighbours as floats (in the low half), their y - 1 neighbours'
// widened, and a mask that is all ones in the lanes of floor columns. Floor
// columns come in patches: a pair with none of them (or only them) computes only
// the raised (or floor) colours.
inline __m128i column_colours(__m128 h_float, __m128 h_prev_x, pair h_prev_y, pair floor) {
    const int floor_lanes = _mm_movemask_pd(floor);
    const pair h = _mm_cvtps_pd(h_float);
    pair red = all(0), green = all(0), blue = all(0), multiplier = all(1);
    if (floor_lanes != 3) {  // raised columns
        // float((h - 4) * 0.05f), float(h - h_prev_x) and float(s2 * 0.625) by float
        // operations (colouring_kernels.h says why they give the same bits)
        const __m128 ramp = _mm_mul_ps(_mm_sub_ps(h_float, _mm_set1_ps(4)), _mm_set1_ps(HEIGHT_SCALE));
        const pair th = round_to_float(smoothstep(_mm_cvtps_pd(ramp)));
        const pair gx = _mm_cvtps_pd(_mm_sub_ps(h_float, h_prev_x));
        const pair gy = h - h_prev_y;
        const __m128 s2_float = _mm_cvtpd_ps(gy * gy + gx * gx);
        const pair s2 = _mm_cvtps_pd(s2_float);
        const pair ts = round_to_float(smoothstep_nonnegative(_mm_cvtps_pd(_mm_mul_ps(s2_float, _mm_set1_ps(0.625f)))));
        const pair q = clamped01((gx * all(LIGHT_X) + all(LIGHT_Z)) / _mm_sqrt_pd(s2 + all(1)));
        multiplier = q * all(LIGHT_WEIGHT) + all(AMBIENT);
        red = toward_grey(truncated(th * all(76) + all(144)), ts);
        green = toward_grey(truncated(th * all(60) + all(160)), ts);
        blue = toward_grey(truncated(th * all(116) + all(104)), ts);
    }
    if (floor_lanes != 0) {  // floor columns: their tint, and no shading
        const pair k = clamped01(all(1) - (h + all(0.5)) * all(1.0 / 3));
        const auto pick = [floor](pair if_floor, pair if_raised) {
            return _mm_or_pd(_mm_and_pd(floor, if_floor), _mm_andnot_pd(floor, if_raised));
        };
        red = pick(truncated(all(144) - all(14) * k), red);
        green = pick(truncated(all(160) + all(10) * k), green);
        blue = pick(truncated(all(104) + all(96) * k), blue);
        multiplier = pick(all(1), multiplier);
    }

    const __m128i r = _mm_cvttpd_epi32(red * multiplier);
    const __m128i g = _mm_cvttpd_epi32(green * multiplier);
    const __m128i b = _mm_cvttpd_epi32(blue * multiplier);
    const __m128i word = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(r, 16), _mm_slli_epi32(g, 8)), b);
    return _mm_or_si128(word, _mm_set1_epi32(static_cast<int>(0x80000000u)));
}

// Colour words of columns y and y + 1 of the row, in the low half.
__m128i pair_colours(const colour_row_inputs& row, int y) {
    const float* h = row.h;
    // Column 0's y-neighbour is column 511 of the same row.
    const pair prev_y = y == 0 ? _mm_setr_pd(h[MAP_SIZE - 1], h[0]) : widened(h + y - 1);
    const __m128i zero = _mm_cmpeq_epi32(
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row.column_height + y)), _mm_setzero_si128());
    const pair floor = _mm_castsi128_pd(_mm_unpacklo_epi32(zero, zero));
    return column_colours(two_floats(h + y), two_floats(row.h_prev_x + y), prev_y, floor);
}

}  // namespace

void colour_row_voxels_baseline(const colour_row_inputs& row, std::uint32_t* voxels) {
    // Each column's 64 words are stored as soon as they are known: the stores drain
    // while the next columns are computed (colouring.cpp says more).
    auto* out = reinterpret_cast<__m128i*>(voxels);
    for (int y = 0; y < MAP_SIZE; y += 2) {
        const __m128i words = pair_colours(row, y);
        for (const __m128i word : {_mm_shuffle_epi32(words, 0x00), _mm_shuffle_epi32(words, 0x55)})
            for (int i = 0; i < MAP_DEPTH / 4; ++i) _mm_store_si128(out++, word);
    }
}

void colour_row_words_baseline(const colour_row_inputs& row, std::uint32_t* words) {
    for (int y = 0; y < MAP_SIZE; y += 2)
        _mm_storel_epi64(reinterpret_cast<__m128i*>(words + y), pair_colours(row, y));
}

#else

namespace {

std::uint32_t colour_of(const colour_row_inputs& row, int y) {
    return column_colour(row.h[y], row.h_prev_x[y], row.h[(y + MAP_SIZE - 1) % MAP_SIZE], row.column_height[y]);
}

}  // namespace

void colour_row_voxels_baseline(const colour_row_inputs& row, std::uint32_t* voxels) {
    for (int y = 0; y < MAP_SIZE; ++y) std::fill_n(voxels + y * MAP_DEPTH, MAP_DEPTH, colour_of(row, y));
}

void colour_row_words_baseline(const colour_row_inputs& row, std::uint32_t* words) {
    for (int y = 0; y < MAP_SIZE; ++y) words[y] = colour_of(row, y);
}

#endif
