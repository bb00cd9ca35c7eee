// The generator's AVX-512 kernels: profile heights and colours of eight columns at
// a time, chosen at run time (terrain/vector_path.h). Each lane does exactly what
// the plain code does for its column: the same IEEE double operations in the same
// order (no fused multiply-add instruction is ever used), the same roundings to
// float, as vcvtpd2ps (round to nearest even, like the scalar conversion) widened
// back exactly by vcvtps2pd, and the same truncations, as vcvttpd2dq. Only this
// file's own functions carry the target, so no instruction beyond the baseline can
// leak into code that runs everywhere.
#include "terrain/vector_path.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include "terrain/volume.h"

// GCC 12's own intrinsics start from an "undefined" vector that it then reports
// as (maybe) uninitialised; nothing of it is read.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

#define TERRAIN_AVX512 __attribute__((target("avx512f")))

namespace {

using lanes = __m512d;

TERRAIN_AVX512 inline lanes all(double v) { return _mm512_set1_pd(v); }
TERRAIN_AVX512 inline lanes round_to_float(lanes v) { return _mm512_cvtps_pd(_mm512_cvtpd_ps(v)); }
TERRAIN_AVX512 inline lanes widened(const float* p) { return _mm512_cvtps_pd(_mm256_loadu_ps(p)); }

}  // namespace

// ---- profile heights: blend_height of eight columns

TERRAIN_AVX512 void fill_row_heights_avx512(float* heights, const row_profile& row, std::int32_t nx,
                                            const profile_columns& columns) {
    const lanes dx2 = all(row.dx2);
    const lanes centre_base_0 = all(row.centre_base_0), centre_base_ydiff = all(row.centre_base_ydiff);
    const lanes centre_rise_0 = all(row.centre_rise_0), centre_rise_ydiff = all(row.centre_rise_ydiff);
    const lanes edge_base_0 = all(row.edge_base_0), edge_base_ydiff = all(row.edge_base_ydiff);
    const lanes edge_rise_0 = all(row.edge_rise_0), edge_rise_ydiff = all(row.edge_rise_ydiff);
    const __m256i slot_offset = _mm256_set1_epi32(nx - 2);
    for (int y = 0; y < 512; y += 8) {
        const lanes sy = _mm512_loadu_pd(columns.sy + y), dy = _mm512_loadu_pd(columns.dy + y);
        // Weight slot (nx + ny - 2) / 8 of each column; n - 2 is never negative.
        const __m256i slot = _mm256_srli_epi32(
            _mm256_add_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(columns.ny + y)), slot_offset), 3);
        const lanes w = _mm512_i32gather_pd(slot, columns.weight, 8);
        const lanes R = round_to_float(_mm512_sqrt_pd(dy * dy + dx2));
        const lanes centre_base = centre_base_ydiff * sy + centre_base_0;
        const lanes edge_base = round_to_float(edge_base_ydiff * sy + edge_base_0);
        const lanes centre_rise = centre_rise_ydiff * sy + centre_rise_0;
        const lanes edge_rise = edge_rise_ydiff * sy + edge_rise_0;
        const lanes low = round_to_float((edge_base - centre_base) * R + centre_base);
        const lanes high0 = round_to_float(centre_rise + centre_base);
        const lanes h = w * ((((edge_rise + edge_base) - high0) * R + high0) - low) + low;
        _mm256_storeu_ps(heights + y, _mm512_cvtpd_ps(h));
    }
}

// ---- colours: column_colour of eight columns

namespace {

// The constants of column_colour (terrain/colouring.cpp), as it widens them.
constexpr double HEIGHT_SCALE = double(0.05f);
constexpr double LIGHT_WEIGHT = double(0.7f);
constexpr double GREY = 120;
constexpr double LIGHT_X = 0.6, LIGHT_Z = 0.8, AMBIENT = 0.3;

TERRAIN_AVX512 inline lanes truncated(lanes v) { return _mm512_cvtepi32_pd(_mm512_cvttpd_epi32(v)); }
// Clamping with min and max: unlike std::clamp they turn -0 into +0, and no colour
// depends on the sign of a zero.
TERRAIN_AVX512 inline lanes clamped01(lanes v) { return _mm512_min_pd(_mm512_max_pd(v, _mm512_setzero_pd()), all(1)); }
// smoothstep01 of floats: clamping first is the same, as the polynomial is exactly
// 0 at 0 and exactly 1 at 1.
TERRAIN_AVX512 inline lanes smoothstep01(lanes t) {
    const lanes c = clamped01(t);
    const lanes c2 = c * c;
    return all(3) * c2 - all(2) * (c2 * c);
}
// trunc((120 - channel0) * ts + channel0)
TERRAIN_AVX512 inline lanes toward_grey(lanes channel0, lanes ts) { return truncated((all(GREY) - channel0) * ts + channel0); }

// Colour words of eight columns: heights, x-1 and y-1 neighbours, floor lanes set.
TERRAIN_AVX512 inline __m256i column_colours(lanes h, lanes h_prev_x, lanes h_prev_y, __mmask8 floor) {
    // Raised columns.
    const lanes th = round_to_float(smoothstep01(round_to_float((h - all(4)) * all(HEIGHT_SCALE))));
    const lanes gx = round_to_float(h - h_prev_x);
    const lanes gy = h - h_prev_y;
    const lanes s2 = round_to_float(gy * gy + gx * gx);
    const lanes ts = round_to_float(smoothstep01(round_to_float(s2 * all(0.625))));
    const lanes q = clamped01((gx * all(LIGHT_X) + all(LIGHT_Z)) / _mm512_sqrt_pd(s2 + all(1)));
    const lanes m = clamped01(q * all(LIGHT_WEIGHT) + all(AMBIENT));
    lanes red = toward_grey(truncated(th * all(76) + all(144)), ts);
    lanes green = toward_grey(truncated(th * all(60) + all(160)), ts);
    lanes blue = toward_grey(truncated(th * all(116) + all(104)), ts);

    // Floor columns: their tint, and no shading.
    const lanes k = clamped01(all(1) - (h + all(0.5)) * all(1.0 / 3));
    red = _mm512_mask_blend_pd(floor, red, truncated(all(144) - all(14) * k));
    green = _mm512_mask_blend_pd(floor, green, truncated(all(160) + all(10) * k));
    blue = _mm512_mask_blend_pd(floor, blue, truncated(all(104) + all(96) * k));
    const lanes multiplier = _mm512_mask_blend_pd(floor, m, all(1));

    const __m256i r = _mm512_cvttpd_epi32(red * multiplier);
    const __m256i g = _mm512_cvttpd_epi32(green * multiplier);
    const __m256i b = _mm512_cvttpd_epi32(blue * multiplier);
    const __m256i word = _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(r, 16), _mm256_slli_epi32(g, 8)), b);
    return _mm256_or_si256(word, _mm256_set1_epi32(static_cast<int>(0x80000000u)));
}

}  // namespace

TERRAIN_AVX512 void colour_row_avx512(int x) {
    const float* h = height_field + column_index(x, 0);
    const float* h_prev_x = height_field + column_index((x + 511) % 512, 0);
    const std::int32_t* heights = column_height + column_index(x, 0);
    auto* out = reinterpret_cast<__m512i*>(color_map + column_index(x, 0) * 64);  // 2 MiB aligned storage
    for (int y = 0; y < 512; y += 8) {
        // Column 0's y-neighbour is column 511 of the same row.
        const lanes prev_y = y == 0 ? _mm512_setr_pd(h[511], h[0], h[1], h[2], h[3], h[4], h[5], h[6])
                                    : widened(h + y - 1);
        const __m256i zero = _mm256_cmpeq_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(heights + y)),
                                                _mm256_setzero_si256());
        const auto floor = static_cast<__mmask8>(_mm256_movemask_ps(_mm256_castsi256_ps(zero)));
        alignas(32) std::uint32_t words[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(words), column_colours(widened(h + y), widened(h_prev_x + y), prev_y, floor));
        // Each column's 64 words as four streamed lines, right away (see colour_columns).
        for (const std::uint32_t word : words) {
            const __m512i line = _mm512_set1_epi32(static_cast<int>(word));
            for (int i = 0; i < 4; ++i) _mm512_stream_si512(out++, line);
        }
    }
}

#endif
