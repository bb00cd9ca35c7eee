// The column encoder's table loader for the x86 baseline: sixteen file rows turned
// over from the x-rows in SSE2 registers, 4 x 4 blocks at a time. Every x86-64
// processor has SSE2, and 32-bit x86 builds require it; other processors load the
// tables one value at a time (column_encoder.cpp).
#include "mapfile/column_encoder_kernels.h"

#if defined(__SSE2__)

#include <emmintrin.h>

namespace column_encoder_parts {

namespace {

// Turns four rows of four 32-bit values over: r[i] holds four values of x-row i,
// afterwards r[j] holds value j of each x-row.
inline void transpose(__m128i (&r)[4]) {
    const __m128i t0 = _mm_unpacklo_epi32(r[0], r[1]), t1 = _mm_unpackhi_epi32(r[0], r[1]);
    const __m128i t2 = _mm_unpacklo_epi32(r[2], r[3]), t3 = _mm_unpackhi_epi32(r[2], r[3]);
    r[0] = _mm_unpacklo_epi64(t0, t2);
    r[1] = _mm_unpackhi_epi64(t0, t2);
    r[2] = _mm_unpacklo_epi64(t1, t3);
    r[3] = _mm_unpackhi_epi64(t1, t3);
}

// How many x-rows ahead the lines are asked for: 2 KiB apart, too far apart for
// the processor to fetch ahead on its own.
constexpr int PREFETCH_ROWS = 8;

}  // namespace

// Eight x-rows at a time, so that the levels of a file row are packed eight to a
// store. SSE2 has no 32-bit min or max: packing with saturation takes negative
// heights to 0 and large ones to 255, and a byte min caps them at FULL.
void load_band_rows_sse2(const std::int32_t* heights, const std::uint32_t* colours, int y0, band_tables& t) {
    const __m128i full = _mm_set1_epi8(FULL);
    for (int x0 = 0; x0 < SIZE; x0 += 8) {
        if (x0 + PREFETCH_ROWS < SIZE)
            for (int i = 0; i < 8; ++i) {
                const std::size_t ahead = std::size_t(x0 + PREFETCH_ROWS + i) * SIZE + std::size_t(y0);
                __builtin_prefetch(colours + ahead);
                __builtin_prefetch(heights + ahead);
                __builtin_prefetch(heights + ahead + BAND);  // the next band's neighbour row
            }
        for (int q = 0; q < BAND; q += 4) {  // file rows y0 + q to y0 + q + 3
            __m128i h[2][4], c[2][4];
            for (int half = 0; half < 2; ++half)
                for (int i = 0; i < 4; ++i) {
                    const std::size_t at = std::size_t(x0 + 4 * half + i) * SIZE + std::size_t(y0 + q);
                    h[half][i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(heights + at));
                    c[half][i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(colours + at));
                }
            for (int half = 0; half < 2; ++half) {
                transpose(h[half]);
                transpose(c[half]);
            }
            for (int j = 0; j < 4; ++j) {
                const __m128i words = _mm_packs_epi32(h[0][j], h[1][j]);
                const __m128i level = _mm_min_epu8(_mm_packus_epi16(words, words), full);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(t.level[q + j + 1] + GUARD + x0), level);
                // colour rows are 64-byte aligned
                _mm_store_si128(reinterpret_cast<__m128i*>(t.colour[q + j] + x0), c[0][j]);
                _mm_store_si128(reinterpret_cast<__m128i*>(t.colour[q + j] + x0 + 4), c[1][j]);
            }
        }
    }
}


}  // namespace column_encoder_parts

#endif
