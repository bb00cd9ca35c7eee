// The profile heights' kernel for eight columns per step (AVX-512F), chosen at run
// time. Rounding to float is vcvtpd2ps (to nearest even, like the scalar
// conversion), widened back exactly by vcvtps2pd; no fused multiply-add.
#include "terrain/height_profile_kernels.h"

#include "terrain/avx512_kernel.h"

#if MAPGEN_HAS_X86_KERNELS

namespace {

MAPGEN_TARGET_AVX512 __m512d all(double v) { return _mm512_set1_pd(v); }
MAPGEN_TARGET_AVX512 __m512d round_to_float(__m512d v) { return _mm512_cvtps_pd(_mm512_cvtpd_ps(v)); }

}  // namespace

MAPGEN_TARGET_AVX512 void fill_row_heights_avx512(float* heights, const row_profile& row, const ring_row& ring,
                                                  const double* sy_of) {
    const __m512d centre_base_0 = all(row.centre_base_0), centre_base_ydiff = all(row.centre_base_ydiff);
    const __m512d centre_rise_0 = all(row.centre_rise_0), centre_rise_ydiff = all(row.centre_rise_ydiff);
    const __m512d edge_base_0 = all(row.edge_base_0), edge_base_ydiff = all(row.edge_base_ydiff);
    const __m512d edge_rise_0 = all(row.edge_rise_0), edge_rise_ydiff = all(row.edge_rise_ydiff);
    for (int y = 0; y < MAP_SIZE; y += 8) {
        const __m512d sy = _mm512_loadu_pd(sy_of + y);
        const __m512d w = _mm512_load_pd(ring.weight + y);
        const __m512d R = _mm512_load_pd(ring.R + y);
        const __m512d centre_base = centre_base_ydiff * sy + centre_base_0;
        const __m512d edge_base = round_to_float(edge_base_ydiff * sy + edge_base_0);
        const __m512d centre_rise = centre_rise_ydiff * sy + centre_rise_0;
        const __m512d edge_rise = edge_rise_ydiff * sy + edge_rise_0;
        const __m512d low = round_to_float((edge_base - centre_base) * R + centre_base);
        const __m512d high0 = round_to_float(centre_rise + centre_base);
        const __m512d h = w * ((((edge_rise + edge_base) - high0) * R + high0) - low) + low;
        _mm256_storeu_ps(heights + y, _mm512_cvtpd_ps(h));
    }
}

MAPGEN_TARGET_AVX512 void fill_ring_row_avx512(ring_row& out, const ring_entry* ring, std::int32_t n_x) {
    // An entry is two doubles: entry s's weight is double 2s of the table, its R
    // double 2s + 1. Both are gathered by 2s, scaled by the size of a double.
    static_assert(sizeof(ring_entry) == 2 * sizeof(double));
    const double* const weights = &ring->weight;
    const double* const distances = &ring->R;
    const __m512i reversed = _mm512_setr_epi64(7, 6, 5, 4, 3, 2, 1, 0);
    __m256i odd = _mm256_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15);  // 2y + 1 of eight columns
    const __m256i base = _mm256_set1_epi32(n_x - 2), step = _mm256_set1_epi32(16);
    for (int y = 0; y < MAP_SIZE / 2; y += 8, odd = _mm256_add_epi32(odd, step)) {
        const __m256i slot = _mm256_srai_epi32(_mm256_add_epi32(base, _mm256_mullo_epi32(odd, odd)), 3);
        const __m256i at = _mm256_add_epi32(slot, slot);
        const __m512d w = _mm512_i32gather_pd(at, weights, 8);
        const __m512d R = _mm512_i32gather_pd(at, distances, 8);
        _mm512_store_pd(out.weight + y, w);
        _mm512_store_pd(out.R + y, R);
        _mm512_store_pd(out.weight + (MAP_SIZE - 8 - y), _mm512_permutexvar_pd(reversed, w));
        _mm512_store_pd(out.R + (MAP_SIZE - 8 - y), _mm512_permutexvar_pd(reversed, R));
    }
}

#else

// No such processor to run on: the path is never chosen, and a call gets the same bits.
void fill_row_heights_avx512(float* heights, const row_profile& row, const ring_row& ring, const double* sy) {
    fill_row_heights_baseline(heights, row, ring, sy);
}

void fill_ring_row_avx512(ring_row& out, const ring_entry* ring, std::int32_t n_x) {
    fill_ring_row_baseline(out, ring, n_x);
}

#endif
