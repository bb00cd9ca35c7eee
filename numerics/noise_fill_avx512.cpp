// The fast fill's kernel for eight samples at a time (AVX-512F), chosen at run time.
// Each lane does exactly what the one-sample kernel does: the same IEEE double
// subtractions, multiplications and additions in the same order (never fused:
// no FMA instruction is used), and the same roundings to float, done by
// vcvtpd2ps (round to nearest even, like the scalar conversion) and widened back
// exactly by vcvtps2pd. Only this file's own functions carry the target, so no
// instruction beyond the baseline can leak into code that runs everywhere.
#include "numerics/noise_fill.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

// GCC 12's own intrinsics (the conversions, insertf64x4) start from an "undefined"
// vector that it then reports as maybe uninitialised; nothing of it is read.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define NOISE_AVX512 __attribute__((target("avx512f")))

namespace {

constexpr int RECORDS = 12;

// lerp(a, b, t) = (b - a) * t + a.
NOISE_AVX512 inline __m512d blend(__m512d a, __m512d b, __m512d t) {
    return _mm512_add_pd(_mm512_mul_pd(_mm512_sub_pd(b, a), t), a);
}

NOISE_AVX512 inline __m512d through_float(__m512d v) {
    return _mm512_cvtps_pd(_mm512_cvtpd_ps(v));
}

// The mapped value of eight samples from their corner contributions, rounded to
// float: the x, y and z blends, then ((n * scale + 1) * 0.5) * span + lo.
struct constants {
    __m512d w, scale, one, half, span, lo;
};

NOISE_AVX512 inline __m256 mapped_noise(const constants& k, __m512d u, __m512d v, __m512d c000, __m512d c001,
                                        __m512d c010, __m512d c011, __m512d c100, __m512d c101, __m512d c110,
                                        __m512d c111) {
    const __m512d e00 = through_float(blend(c000, c100, u));
    const __m512d e01 = through_float(blend(c001, c101, u));
    const __m512d e10 = through_float(blend(c010, c110, u));
    const __m512d e11 = through_float(blend(c011, c111, u));
    const __m512d f0 = through_float(blend(e00, e10, v));
    const __m512d f1 = through_float(blend(e01, e11, v));
    const __m512d n = blend(f0, f1, k.w);
    const __m512d m = _mm512_add_pd(
        _mm512_mul_pd(_mm512_mul_pd(_mm512_add_pd(_mm512_mul_pd(n, k.scale), k.one), k.half), k.span), k.lo);
    return _mm512_cvtpd_ps(m);
}

// Cells at least as wide as the vector, or two rows of a 4-sample cell: each vector
// takes its eight lanes from one table row per corner.
NOISE_AVX512 void fill_wide_cells(const noise_band& b, const constants& k) {
    const int lanes = b.lanes, width = b.cell_width, table = RECORDS * lanes;
    const double* const u = b.u;
    const double* const v = b.v;
    float* const row0 = b.row[0];
    float* const row1 = b.row[1];
    for (int c = 0; c < b.cells; ++c) {
        const double* c000 = b.corners + 0 * table + b.records[0][0][c];
        const double* c001 = b.corners + 1 * table + b.records[0][1][c];
        const double* c010 = b.corners + 2 * table + b.records[0][0][c + 1];
        const double* c011 = b.corners + 3 * table + b.records[0][1][c + 1];
        const double* c100 = b.corners + 4 * table + b.records[1][0][c];
        const double* c101 = b.corners + 5 * table + b.records[1][1][c];
        const double* c110 = b.corners + 6 * table + b.records[1][0][c + 1];
        const double* c111 = b.corners + 7 * table + b.records[1][1][c + 1];
        for (int l = 0; l < lanes; l += 8) {
            const __m256 out = mapped_noise(
                k, _mm512_load_pd(u + l), _mm512_load_pd(v + l), _mm512_load_pd(c000 + l),
                _mm512_load_pd(c001 + l), _mm512_load_pd(c010 + l), _mm512_load_pd(c011 + l),
                _mm512_load_pd(c100 + l), _mm512_load_pd(c101 + l), _mm512_load_pd(c110 + l),
                _mm512_load_pd(c111 + l));
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
NOISE_AVX512 inline __m512d two_cells(const double* corner, std::int32_t here, std::int32_t next) {
    return _mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_load_pd(corner + here)), _mm256_load_pd(corner + next), 1);
}

NOISE_AVX512 void fill_narrow_cells(const noise_band& b, const constants& k) {
    const int table = RECORDS * 4;
    const double* t = b.corners;
    const std::int32_t* const* r0 = b.records[0];
    const std::int32_t* const* r1 = b.records[1];
    const __m512d u = _mm512_load_pd(b.u), v = _mm512_load_pd(b.v);
    // Lanes hold (row, column) as 00 01 10 11 | 02 03 12 13: gather each row's four.
    const __m256i by_row = _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7);
    float* const row0 = b.row[0];
    float* const row1 = b.row[1];
    for (int c = 0; c < b.cells; c += 2) {
        const __m256 out = mapped_noise(k, u, v, two_cells(t + 0 * table, r0[0][c], r0[0][c + 1]),
                                        two_cells(t + 1 * table, r0[1][c], r0[1][c + 1]),
                                        two_cells(t + 2 * table, r0[0][c + 1], r0[0][c + 2]),
                                        two_cells(t + 3 * table, r0[1][c + 1], r0[1][c + 2]),
                                        two_cells(t + 4 * table, r1[0][c], r1[0][c + 1]),
                                        two_cells(t + 5 * table, r1[1][c], r1[1][c + 1]),
                                        two_cells(t + 6 * table, r1[0][c + 1], r1[0][c + 2]),
                                        two_cells(t + 7 * table, r1[1][c + 1], r1[1][c + 2]));
        const __m256 rows = _mm256_permutevar8x32_ps(out, by_row);
        _mm_storeu_ps(row0 + c * 2, _mm256_castps256_ps128(rows));
        _mm_storeu_ps(row1 + c * 2, _mm256_extractf128_ps(rows, 1));
    }
}

}  // namespace

NOISE_AVX512 void fill_noise_band_avx512(const noise_band& band) {
    const constants k = {_mm512_set1_pd(band.w),    _mm512_set1_pd(band.scale), _mm512_set1_pd(1.0),
                         _mm512_set1_pd(0.5),       _mm512_set1_pd(band.span),  _mm512_set1_pd(band.lo)};
    if (band.lanes >= 8)
        fill_wide_cells(band, k);
    else
        fill_narrow_cells(band, k);
}

#endif
