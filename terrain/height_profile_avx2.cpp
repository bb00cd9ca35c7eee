// The profile heights' kernels for four columns per step (AVX2), chosen at run
// time: the AVX-512 kernels on half their width. Rounding to float is vcvtpd2ps (to
// nearest even, like the scalar conversion), widened back exactly by vcvtps2pd; no
// fused multiply-add.
#include "terrain/height_profile_kernels.h"

#include "platform/target_attributes.h"

#if MAPGEN_HAS_X86_KERNELS

#include <immintrin.h>

namespace {

MAPGEN_TARGET_AVX2 __m256d all(double v) { return _mm256_set1_pd(v); }
MAPGEN_TARGET_AVX2 __m256d round_to_float(__m256d v) { return _mm256_cvtps_pd(_mm256_cvtpd_ps(v)); }

}  // namespace

MAPGEN_TARGET_AVX2 void fill_row_heights_avx2(float* heights, const row_profile& row, const ring_row& ring,
                                              const double* sy_of) {
    const __m256d centre_base_0 = all(row.centre_base_0), centre_base_ydiff = all(row.centre_base_ydiff);
    const __m256d centre_rise_0 = all(row.centre_rise_0), centre_rise_ydiff = all(row.centre_rise_ydiff);
    const __m256d edge_base_0 = all(row.edge_base_0), edge_base_ydiff = all(row.edge_base_ydiff);
    const __m256d edge_rise_0 = all(row.edge_rise_0), edge_rise_ydiff = all(row.edge_rise_ydiff);
    for (int y = 0; y < MAP_SIZE; y += 4) {
        const __m256d sy = _mm256_loadu_pd(sy_of + y);
        const __m256d w = _mm256_load_pd(ring.weight + y);
        const __m256d R = _mm256_load_pd(ring.R + y);
        const __m256d centre_base = centre_base_ydiff * sy + centre_base_0;
        const __m256d edge_base = round_to_float(edge_base_ydiff * sy + edge_base_0);
        const __m256d centre_rise = centre_rise_ydiff * sy + centre_rise_0;
        const __m256d edge_rise = edge_rise_ydiff * sy + edge_rise_0;
        const __m256d low = round_to_float((edge_base - centre_base) * R + centre_base);
        const __m256d high0 = round_to_float(centre_rise + centre_base);
        const __m256d h = w * ((((edge_rise + edge_base) - high0) * R + high0) - low) + low;
        _mm_storeu_ps(heights + y, _mm256_cvtpd_ps(h));
    }
}

MAPGEN_TARGET_AVX2 void fill_ring_row_avx2(ring_row& out, const ring_entry* ring, std::int32_t n_x) {
    // An entry is two doubles: entry s's weight is double 2s of the table, its R
    // double 2s + 1. Both are gathered by 2s, scaled by the size of a double.
    static_assert(sizeof(ring_entry) == 2 * sizeof(double));
    const double* const weights = &ring->weight;
    const double* const distances = &ring->R;
    __m128i odd = _mm_setr_epi32(1, 3, 5, 7);  // 2y + 1 of four columns
    const __m128i base = _mm_set1_epi32(n_x - 2), step = _mm_set1_epi32(8);
    // The masked gathers with every lane on: the plain ones start from a vector
    // that GCC 12 reports as uninitialised.
    const __m256d none = _mm256_setzero_pd(), every = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    for (int y = 0; y < MAP_SIZE / 2; y += 4, odd = _mm_add_epi32(odd, step)) {
        const __m128i slot = _mm_srai_epi32(_mm_add_epi32(base, _mm_mullo_epi32(odd, odd)), 3);
        const __m128i at = _mm_add_epi32(slot, slot);
        const __m256d w = _mm256_mask_i32gather_pd(none, weights, at, every, 8);
        const __m256d R = _mm256_mask_i32gather_pd(none, distances, at, every, 8);
        _mm256_store_pd(out.weight + y, w);
        _mm256_store_pd(out.R + y, R);
        // the mirrored columns 511 - y: the four reversed
        _mm256_store_pd(out.weight + (MAP_SIZE - 4 - y), _mm256_permute4x64_pd(w, 0x1B));
        _mm256_store_pd(out.R + (MAP_SIZE - 4 - y), _mm256_permute4x64_pd(R, 0x1B));
    }
}

#else

// No such processor to run on: the path is never chosen, and a call gets the same bits.
void fill_row_heights_avx2(float* heights, const row_profile& row, const ring_row& ring, const double* sy) {
    fill_row_heights_baseline(heights, row, ring, sy);
}

void fill_ring_row_avx2(ring_row& out, const ring_entry* ring, std::int32_t n_x) {
    fill_ring_row_baseline(out, ring, n_x);
}

#endif
