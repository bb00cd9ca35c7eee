// The profile heights' kernel for four columns per step (AVX2), chosen at run
// time: the AVX-512 kernel on half its width. Rounding to float is vcvtpd2ps (to
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

#else

// No such processor to run on: the path is never chosen, and a call gets the same bits.
void fill_row_heights_avx2(float* heights, const row_profile& row, const ring_row& ring, const double* sy) {
    fill_row_heights_baseline(heights, row, ring, sy);
}

#endif
