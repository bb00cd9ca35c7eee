// The fast fill's kernel for eight samples at a time (AVX-512F), chosen at run time.
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

// GCC 12's own intrinsics (the conversions, insertf64x4) start from an "undefined"
// vector that it then reports as maybe uninitialised; nothing of it is read.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

// lerp(a, b, t) = (b - a) * t + a.
MAPGEN_TARGET_AVX512 inline __m512d blend(__m512d a, __m512d b, __m512d t) {
    return _mm512_add_pd(_mm512_mul_pd(_mm512_sub_pd(b, a), t), a);
}

MAPGEN_TARGET_AVX512 inline __m512d through_float(__m512d v) {
    return _mm512_cvtps_pd(_mm512_cvtpd_ps(v));
}

// The mapped value of eight samples from their x blends, rounded to float: the y
// and z blends, then ((n * scale + 1) * 0.5) * span + lo.
struct constants {
    __m512d w, scale, one, half_span, lo;
};

MAPGEN_TARGET_AVX512 inline __m256 mapped_noise(const constants& k, __m512d v, __m512d e00, __m512d e01, __m512d e10,
                                        __m512d e11) {
    const __m512d f0 = through_float(blend(e00, e10, v));
    const __m512d f1 = through_float(blend(e01, e11, v));
    const __m512d n = blend(f0, f1, k.w);
    const __m512d m = _mm512_add_pd(_mm512_mul_pd(_mm512_add_pd(_mm512_mul_pd(n, k.scale), k.one), k.half_span), k.lo);
    return _mm512_cvtpd_ps(m);
}

// Cells at least as wide as the vector, or two rows of a 4-sample cell: each vector
// takes its eight lanes from one table row per edge.
MAPGEN_TARGET_AVX512 void fill_wide_cells(const noise_band& b, const constants& k) {
    const int lanes = b.lanes, width = b.cell_width, table = GRADIENT_RECORDS * GRADIENT_RECORDS * lanes;
    const double* const v = b.v;
    float* const row0 = b.row[0];
    float* const row1 = b.row[1];
    for (int c = 0; c < b.cells; ++c) {
        const double* e00 = b.edges + 0 * table + b.pairs[0][c];
        const double* e01 = b.edges + 1 * table + b.pairs[1][c];
        const double* e10 = b.edges + 2 * table + b.pairs[0][c + 1];
        const double* e11 = b.edges + 3 * table + b.pairs[1][c + 1];
        for (int l = 0; l < lanes; l += 8) {
            const __m256 out = mapped_noise(k, _mm512_load_pd(v + l), _mm512_load_pd(e00 + l), _mm512_load_pd(e01 + l),
                                            _mm512_load_pd(e10 + l), _mm512_load_pd(e11 + l));
            if (width >= 8) {
                _mm256_storeu_ps(row0 + c * width + l, out);
            } else {  // two rows of four
                _mm_storeu_ps(row0 + c * 4, _mm256_castps256_ps128(out));
                _mm_storeu_ps(row1 + c * 4, _mm256_extractf128_ps(out, 1));
            }
        }
    }
}

// Two rows of a 2-sample cell are four lanes: a vector takes two cells, the low half
// from cell c and the high half from cell c + 1.
MAPGEN_TARGET_AVX512 inline __m512d two_cells(const double* edge, std::int32_t here, std::int32_t next) {
    return _mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_load_pd(edge + here)), _mm256_load_pd(edge + next), 1);
}

MAPGEN_TARGET_AVX512 void fill_narrow_cells(const noise_band& b, const constants& k) {
    const int table = GRADIENT_RECORDS * GRADIENT_RECORDS * 4;
    const double* t = b.edges;
    const std::int32_t* const p0 = b.pairs[0];
    const std::int32_t* const p1 = b.pairs[1];
    const __m512d v = _mm512_load_pd(b.v);
    // Lanes hold (row, column) as 00 01 10 11 | 02 03 12 13: gather each row's four.
    const __m256i by_row = _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7);
    float* const row0 = b.row[0];
    float* const row1 = b.row[1];
    for (int c = 0; c < b.cells; c += 2) {
        const __m256 out = mapped_noise(k, v, two_cells(t + 0 * table, p0[c], p0[c + 1]),
                                        two_cells(t + 1 * table, p1[c], p1[c + 1]),
                                        two_cells(t + 2 * table, p0[c + 1], p0[c + 2]),
                                        two_cells(t + 3 * table, p1[c + 1], p1[c + 2]));
        const __m256 rows = _mm256_permutevar8x32_ps(out, by_row);
        _mm_storeu_ps(row0 + c * 2, _mm256_castps256_ps128(rows));
        _mm_storeu_ps(row1 + c * 2, _mm256_extractf128_ps(rows, 1));
    }
}

// The same widening, product, sum and rounding per lane as the one-element loop
// (no fused multiply-add); the baseline kernel takes the tail.
MAPGEN_TARGET_AVX512 void add_weighted_widened(float* dst, const float* src, float weight, std::size_t count) {
    const __m512d w = _mm512_set1_pd(weight);
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m512d sum =
            _mm512_add_pd(_mm512_mul_pd(w, _mm512_cvtps_pd(_mm256_loadu_ps(src + i))), _mm512_cvtps_pd(_mm256_loadu_ps(dst + i)));
        _mm256_storeu_ps(dst + i, _mm512_cvtpd_ps(sum));
    }
    add_weighted_baseline(dst + i, src + i, weight, count - i);
}

}  // namespace

// Sixteen float sums at a time where they are the widened sums' bits
// (noise_fill_kernels.h says when); a vector with a product that would leave the
// float range, and every other weight, takes the widened sums.
MAPGEN_TARGET_AVX512 void add_weighted_avx512(float* dst, const float* src, float weight, std::size_t count) {
    if (!adds_as_float_sums(weight)) {
        add_weighted_widened(dst, src, weight, count);
        return;
    }
    const __m512 w = _mm512_set1_ps(weight);
    const __m512 limit = _mm512_set1_ps(DOUBLING_OVERFLOWS);
    const bool doubles = weight == 2.0f;
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m512 s = _mm512_loadu_ps(src + i);
        if (doubles && _mm512_cmp_ps_mask(_mm512_abs_ps(s), limit, _CMP_GE_OQ) != 0)
            add_weighted_widened(dst + i, src + i, weight, 16);
        else
            _mm512_storeu_ps(dst + i, _mm512_add_ps(_mm512_mul_ps(w, s), _mm512_loadu_ps(dst + i)));
    }
    add_weighted_widened(dst + i, src + i, weight, count - i);
}

MAPGEN_TARGET_AVX512 void blend_edge_rows_avx512(double* out, const double* c0, const double* far, const double* u, int lanes) {
    for (int r1 = 0; r1 < GRADIENT_RECORDS; ++r1, out += lanes) {
        const double* c1 = far + r1 * lanes;
        for (int l = 0; l < lanes; l += 8)
            _mm512_store_pd(out + l, through_float(blend(_mm512_load_pd(c0 + l), _mm512_load_pd(c1 + l), _mm512_load_pd(u + l))));
    }
}

MAPGEN_TARGET_AVX512 void fill_noise_band_avx512(const noise_band& band) {
    const constants k = {_mm512_set1_pd(band.w), _mm512_set1_pd(band.scale), _mm512_set1_pd(1.0),
                         _mm512_set1_pd(0.5 * band.span), _mm512_set1_pd(band.lo)};
    if (band.lanes >= 8)
        fill_wide_cells(band, k);
    else
        fill_narrow_cells(band, k);
}

#endif
