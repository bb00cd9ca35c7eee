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
pair smoothstep(pair t) {
    const pair c = clamped01(t);
    const pair c2 = c * c;
    return all(3) * c2 - all(2) * (c2 * c);
}
// trunc((120 - channel0) * ts + channel0)
pair toward_grey(pair channel0, pair ts) { return truncated((all(GREY) - channel0) * ts + channel0); }
// Two adjacent floats as doubles.
pair widened(const float* p) {
    return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}

// Colour words of two columns (in the low half): heights, x-1 and y-1
// neighbours, and a mask that is all ones in the lanes of floor columns.
__m128i column_colours(pair h, pair h_prev_x, pair h_prev_y, pair floor) {
    // Raised columns.
    const pair th = round_to_float(smoothstep(round_to_float((h - all(4)) * all(HEIGHT_SCALE))));
    const pair gx = round_to_float(h - h_prev_x);
    const pair gy = h - h_prev_y;
    const pair s2 = round_to_float(gy * gy + gx * gx);
    const pair ts = round_to_float(smoothstep(round_to_float(s2 * all(0.625))));
    const pair q = clamped01((gx * all(LIGHT_X) + all(LIGHT_Z)) / _mm_sqrt_pd(s2 + all(1)));
    const pair m = clamped01(q * all(LIGHT_WEIGHT) + all(AMBIENT));
    const pair red_raised = toward_grey(truncated(th * all(76) + all(144)), ts);
    const pair green_raised = toward_grey(truncated(th * all(60) + all(160)), ts);
    const pair blue_raised = toward_grey(truncated(th * all(116) + all(104)), ts);

    // Floor columns: their tint, and no shading.
    const pair k = clamped01(all(1) - (h + all(0.5)) * all(1.0 / 3));
    const auto pick = [floor](pair if_floor, pair if_raised) {
        return _mm_or_pd(_mm_and_pd(floor, if_floor), _mm_andnot_pd(floor, if_raised));
    };
    const pair red = pick(truncated(all(144) - all(14) * k), red_raised);
    const pair green = pick(truncated(all(160) + all(10) * k), green_raised);
    const pair blue = pick(truncated(all(104) + all(96) * k), blue_raised);
    const pair multiplier = pick(all(1), m);

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
    return column_colours(widened(h + y), widened(row.h_prev_x + y), prev_y, floor);
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
