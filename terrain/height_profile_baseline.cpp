// The profile heights' baseline kernel: two columns per step, one per double lane
// of SSE2, on x86-64 (whose every processor has it); one column at a time through
// blend_height on other targets. Rounding to float is a round trip through single
// precision (cvtpd2ps rounds to nearest even, like the scalar conversion).
#include "terrain/height_profile_kernels.h"

#if defined(__SSE2__)

#include <emmintrin.h>

void fill_row_heights_baseline(float* heights, const row_profile& row, const ring_row& ring, const double* sy_of) {
    const auto round_to_float = [](__m128d v) { return _mm_cvtps_pd(_mm_cvtpd_ps(v)); };
    const __m128d centre_base_0 = _mm_set1_pd(row.centre_base_0), centre_base_ydiff = _mm_set1_pd(row.centre_base_ydiff);
    const __m128d centre_rise_0 = _mm_set1_pd(row.centre_rise_0), centre_rise_ydiff = _mm_set1_pd(row.centre_rise_ydiff);
    const __m128d edge_base_0 = _mm_set1_pd(row.edge_base_0), edge_base_ydiff = _mm_set1_pd(row.edge_base_ydiff);
    const __m128d edge_rise_0 = _mm_set1_pd(row.edge_rise_0), edge_rise_ydiff = _mm_set1_pd(row.edge_rise_ydiff);
    for (int y = 0; y < MAP_SIZE; y += 2) {
        const __m128d sy = _mm_loadu_pd(sy_of + y);
        const __m128d w = _mm_load_pd(ring.weight + y);
        const __m128d R = _mm_load_pd(ring.R + y);
        const __m128d centre_base = centre_base_ydiff * sy + centre_base_0;
        const __m128d edge_base = round_to_float(edge_base_ydiff * sy + edge_base_0);
        const __m128d centre_rise = centre_rise_ydiff * sy + centre_rise_0;
        const __m128d edge_rise = edge_rise_ydiff * sy + edge_rise_0;
        const __m128d low = round_to_float((edge_base - centre_base) * R + centre_base);
        const __m128d high0 = round_to_float(centre_rise + centre_base);
        const __m128d h = w * ((((edge_rise + edge_base) - high0) * R + high0) - low) + low;
        _mm_storel_pi(reinterpret_cast<__m64*>(heights + y), _mm_cvtpd_ps(h));
    }
}

#else

void fill_row_heights_baseline(float* heights, const row_profile& row, const ring_row& ring, const double* sy) {
    for (int y = 0; y < MAP_SIZE; ++y) heights[y] = blend_height(row, sy[y], ring.R[y], ring.weight[y]);
}

#endif

void fill_ring_row_baseline(ring_row& out, const ring_entry* ring, std::int32_t n_x) {
    for (int y = 0; y < MAP_SIZE / 2; ++y) {
        const ring_entry& entry = ring[weight_slot(n_x + (2 * y + 1) * (2 * y + 1))];
        out.weight[y] = out.weight[MAP_SIZE - 1 - y] = entry.weight;
        out.R[y] = out.R[MAP_SIZE - 1 - y] = entry.R;
    }
}
