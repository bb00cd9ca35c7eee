// The fast fill's baseline kernels, which run everywhere: two samples (or sums)
// per step, one per double lane of SSE2, on x86 (every x86-64 processor has it,
// and 32-bit x86 builds require it for their double arithmetic); one at a time
// elsewhere. Each wider kernel does what these do, lane by lane, and so do the
// SSE2 steps: the same IEEE double subtractions, multiplications and additions in
// the same order (SSE2 has no fused multiply-add), and the same roundings to
// float, done by cvtpd2ps (round to nearest even, like the scalar conversion) and
// widened back exactly by cvtps2pd.
#include "numerics/noise_fill_kernels.h"

#include "numerics/noise.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// One element at a time: for the weights that do not add as float sums, the
// tails of every kernel, and processors without SSE2.
void add_weighted_one_at_a_time(float* dst, const float* src, float weight, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) dst[i] = static_cast<float>(static_cast<double>(weight) * src[i] + dst[i]);
}

#if defined(__SSE2__)

// lerp(a, b, t) = (b - a) * t + a.
inline __m128d blend(__m128d a, __m128d b, __m128d t) { return _mm_add_pd(_mm_mul_pd(_mm_sub_pd(b, a), t), a); }
inline __m128d through_float(__m128d v) { return _mm_cvtps_pd(_mm_cvtpd_ps(v)); }

#endif

}  // namespace

#if defined(__SSE2__)

void blend_edge_rows_baseline(double* out, const double* c0, const double* far, const double* u, int lanes) {
    for (int r1 = 0; r1 < GRADIENT_RECORDS; ++r1, out += lanes) {
        const double* c1 = far + r1 * lanes;
        for (int l = 0; l < lanes; l += 2)  // lanes is even: every cell width is
            _mm_store_pd(out + l, through_float(blend(_mm_load_pd(c0 + l), _mm_load_pd(c1 + l), _mm_load_pd(u + l))));
    }
}

// Every cell is at least two samples wide, so a pair of lanes never spans two rows.
void fill_noise_band_baseline(const noise_band& b) {
    const __m128d w = _mm_set1_pd(b.w), scale = _mm_set1_pd(b.scale), one = _mm_set1_pd(1.0),
                  half = _mm_set1_pd(0.5), span = _mm_set1_pd(b.span), lo = _mm_set1_pd(b.lo);
    const int width = b.cell_width, rows = b.lanes / width, table = GRADIENT_RECORDS * GRADIENT_RECORDS * b.lanes;
    for (int c = 0; c < b.cells; ++c) {
        const double* e00 = b.edges + 0 * table + b.pairs[0][c];
        const double* e01 = b.edges + 1 * table + b.pairs[1][c];
        const double* e10 = b.edges + 2 * table + b.pairs[0][c + 1];
        const double* e11 = b.edges + 3 * table + b.pairs[1][c + 1];
        for (int r = 0, l = 0; r < rows; ++r) {
            float* const out = b.row[r] + c * width;
            for (int t = 0; t < width; t += 2, l += 2) {
                const __m128d v = _mm_load_pd(b.v + l);
                const __m128d f0 = through_float(blend(_mm_load_pd(e00 + l), _mm_load_pd(e10 + l), v));
                const __m128d f1 = through_float(blend(_mm_load_pd(e01 + l), _mm_load_pd(e11 + l), v));
                const __m128d n = blend(f0, f1, w);
                const __m128d m =
                    _mm_add_pd(_mm_mul_pd(_mm_mul_pd(_mm_add_pd(_mm_mul_pd(n, scale), one), half), span), lo);
                _mm_storel_pi(reinterpret_cast<__m64*>(out + t), _mm_cvtpd_ps(m));
            }
        }
    }
}

// Four float sums at a time where they are the widened sums' bits
// (noise_fill_kernels.h says when); otherwise the widened sums one at a time.
void add_weighted_baseline(float* dst, const float* src, float weight, std::size_t count) {
    if (!adds_as_float_sums(weight)) {
        add_weighted_one_at_a_time(dst, src, weight, count);
        return;
    }
    const __m128 w = _mm_set1_ps(weight);
    const __m128 limit = _mm_set1_ps(DOUBLING_OVERFLOWS);
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    const bool doubles = weight == 2.0f;
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128 s = _mm_loadu_ps(src + i);
        // cmpge is false for a NaN, which takes the float sum
        if (doubles && _mm_movemask_ps(_mm_cmpge_ps(_mm_and_ps(s, magnitude), limit)) != 0)
            add_weighted_one_at_a_time(dst + i, src + i, weight, 4);
        else
            _mm_storeu_ps(dst + i, _mm_add_ps(_mm_mul_ps(w, s), _mm_loadu_ps(dst + i)));
    }
    add_weighted_one_at_a_time(dst + i, src + i, weight, count - i);
}

#else

void blend_edge_rows_baseline(double* out, const double* c0, const double* far, const double* u, int lanes) {
    for (int r1 = 0; r1 < GRADIENT_RECORDS; ++r1, out += lanes) {
        const double* c1 = far + r1 * lanes;
        for (int l = 0; l < lanes; ++l) out[l] = static_cast<float>((c1[l] - c0[l]) * u[l] + c0[l]);
    }
}

void fill_noise_band_baseline(const noise_band& band) {
    const int lanes = band.lanes, width = band.cell_width;
    const int table = GRADIENT_RECORDS * GRADIENT_RECORDS * lanes;
    for (int c = 0; c < band.cells; ++c) {
        const double* e00 = band.edges + 0 * table + band.pairs[0][c];
        const double* e01 = band.edges + 1 * table + band.pairs[1][c];
        const double* e10 = band.edges + 2 * table + band.pairs[0][c + 1];
        const double* e11 = band.edges + 3 * table + band.pairs[1][c + 1];
        for (int l = 0; l < lanes; ++l) {
            const double v = band.v[l];
            // lerp(a, b, t) = (b - a) * t + a, rounded to float after the y blends.
            const float f0 = static_cast<float>((e10[l] - e00[l]) * v + e00[l]);
            const float f1 = static_cast<float>((e11[l] - e01[l]) * v + e01[l]);
            const double n = (static_cast<double>(f1) - f0) * band.w + f0;
            band.row[l / width][c * width + l % width] =
                static_cast<float>(((n * band.scale + 1) * 0.5) * band.span + band.lo);
        }
    }
}

void add_weighted_baseline(float* dst, const float* src, float weight, std::size_t count) {
    add_weighted_one_at_a_time(dst, src, weight, count);
}

#endif
