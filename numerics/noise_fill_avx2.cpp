// The fast fill's kernel for four samples at a time (AVX2), chosen at run time.
// Each lane does exactly what the baseline kernel does (noise_fill_kernels.h names
// the one exact rearrangement): the same IEEE double subtractions, multiplications
// and additions in the same order (never fused: no FMA instruction is used), and
// the same roundings to float, done by vcvtpd2ps (round to nearest even, like the
// scalar conversion) and widened back exactly by vcvtps2pd. Only this file's own
// functions carry the target, so no instruction beyond the baseline can leak into
// code that runs everywhere.
#include "numerics/noise_fill_kernels.h"

#include "numerics/noise.h"
#include "platform/target_attributes.h"

#if MAPGEN_HAS_X86_KERNELS

#include <immintrin.h>

namespace {

// lerp(a, b, t) = (b - a) * t + a.
MAPGEN_TARGET_AVX2 inline __m256d blend(__m256d a, __m256d b, __m256d t) {
    return _mm256_add_pd(_mm256_mul_pd(_mm256_sub_pd(b, a), t), a);
}

MAPGEN_TARGET_AVX2 inline __m256d through_float(__m256d v) {
    return _mm256_cvtps_pd(_mm256_cvtpd_ps(v));
}

}  // namespace

// Eight float sums at a time where they are the widened sums' bits
// (noise_fill_kernels.h says when); otherwise the baseline's widened sums.
MAPGEN_TARGET_AVX2 void add_weighted_avx2(float* dst, const float* src, float weight, std::size_t count) {
    if (!adds_as_float_sums(weight)) {
        add_weighted_baseline(dst, src, weight, count);
        return;
    }
    const __m256 w = _mm256_set1_ps(weight);
    const __m256 limit = _mm256_set1_ps(DOUBLING_OVERFLOWS);
    const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
    const bool doubles = weight == 2.0f;
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256 s = _mm256_loadu_ps(src + i);
        if (doubles && _mm256_movemask_ps(_mm256_cmp_ps(_mm256_and_ps(s, magnitude), limit, _CMP_GE_OQ)) != 0)
            add_weighted_baseline(dst + i, src + i, weight, 8);
        else
            _mm256_storeu_ps(dst + i, _mm256_add_ps(_mm256_mul_ps(w, s), _mm256_loadu_ps(dst + i)));
    }
    add_weighted_baseline(dst + i, src + i, weight, count - i);
}

MAPGEN_TARGET_AVX2 void blend_edge_rows_avx2(double* out, const double* c0, const double* far, const double* u, int lanes) {
    for (int r1 = 0; r1 < GRADIENT_RECORDS; ++r1, out += lanes) {
        const double* c1 = far + r1 * lanes;
        for (int l = 0; l < lanes; l += 4)
            _mm256_store_pd(out + l, through_float(blend(_mm256_load_pd(c0 + l), _mm256_load_pd(c1 + l), _mm256_load_pd(u + l))));
    }
}

// Every cell row is at least four samples wide, except with period 256, where a band
// holds two rows of a 2-sample cell: lanes (row, column) 00 01 10 11.
MAPGEN_TARGET_AVX2 void fill_noise_band_avx2(const noise_band& b) {
    const __m256d w = _mm256_set1_pd(b.w), scale = _mm256_set1_pd(b.scale), one = _mm256_set1_pd(1.0),
                  half_span = _mm256_set1_pd(0.5 * b.span), lo = _mm256_set1_pd(b.lo);
    const int lanes = b.lanes, width = b.cell_width, table = GRADIENT_RECORDS * GRADIENT_RECORDS * lanes;
    const double* const vs = b.v;
    float* const row0 = b.row[0];
    float* const row1 = b.row[1];
    for (int c = 0; c < b.cells; ++c) {
        const double* e00 = b.edges + 0 * table + b.pairs[0][c];
        const double* e01 = b.edges + 1 * table + b.pairs[1][c];
        const double* e10 = b.edges + 2 * table + b.pairs[0][c + 1];
        const double* e11 = b.edges + 3 * table + b.pairs[1][c + 1];
        for (int l = 0; l < lanes; l += 4) {
            const __m256d v = _mm256_load_pd(vs + l);
            const __m256d f0 = through_float(blend(_mm256_load_pd(e00 + l), _mm256_load_pd(e10 + l), v));
            const __m256d f1 = through_float(blend(_mm256_load_pd(e01 + l), _mm256_load_pd(e11 + l), v));
            const __m256d n = blend(f0, f1, w);
            const __m256d m = _mm256_add_pd(_mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(n, scale), one), half_span), lo);
            const __m128 out = _mm256_cvtpd_ps(m);
            if (width >= 4) {
                _mm_storeu_ps(row0 + c * width + l, out);
            } else {  // two rows of two
                _mm_storel_pi(reinterpret_cast<__m64*>(row0 + c * 2), out);
                _mm_storeh_pi(reinterpret_cast<__m64*>(row1 + c * 2), out);
            }
        }
    }
}

#endif
