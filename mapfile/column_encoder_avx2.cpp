// The column encoder for AVX2: its rows of records and its sizes, the baseline's
// code compiled for 32-byte registers, and its table loader, which turns eight
// x-rows of eight 32-bit values over in registers, four such blocks for a band of
// sixteen file rows. Only this file's own functions carry the target.
#include "mapfile/column_encoder_kernels.h"

#include "platform/target_attributes.h"

#if MAPGEN_HAS_X86_KERNELS
#include <immintrin.h>
#endif

namespace column_encoder_parts {

#if MAPGEN_HAS_X86_KERNELS

namespace {

// r[i] holds eight values of x-row i; afterwards r[j] holds value j of each x-row,
// x-row 0 first. Pairs of rows interleave by 32 bits, then by 64 bits, and the
// 128-bit halves of rows four apart change places.
MAPGEN_TARGET_AVX2 inline __attribute__((always_inline)) void transpose(__m256i (&r)[8]) {
    __m256i t[8], u[8];
    for (int i = 0; i < 8; i += 2) {
        t[i] = _mm256_unpacklo_epi32(r[i], r[i + 1]);
        t[i + 1] = _mm256_unpackhi_epi32(r[i], r[i + 1]);
    }
    for (int i = 0; i < 8; i += 4) {
        u[i] = _mm256_unpacklo_epi64(t[i], t[i + 2]);
        u[i + 1] = _mm256_unpackhi_epi64(t[i], t[i + 2]);
        u[i + 2] = _mm256_unpacklo_epi64(t[i + 1], t[i + 3]);
        u[i + 3] = _mm256_unpackhi_epi64(t[i + 1], t[i + 3]);
    }
    for (int j = 0; j < 4; ++j) {
        r[j] = _mm256_permute2x128_si256(u[j], u[j + 4], 0x20);
        r[j + 4] = _mm256_permute2x128_si256(u[j], u[j + 4], 0x31);
    }
}

// How many x-rows ahead the lines are asked for: 2 KiB apart, too far apart for
// the processor to fetch ahead on its own.
constexpr int PREFETCH_ROWS = 16;

}  // namespace

MAPGEN_TARGET_AVX2 void load_band_rows_avx2(const std::int32_t* heights, const std::uint32_t* colours, int y0,
                                            band_tables& t) {
    const __m256i zero = _mm256_setzero_si256(), full = _mm256_set1_epi32(FULL);
    // The low byte of each 32-bit lane to the lane's first four bytes, and the
    // upper lane's four bytes beside them.
    const __m256i low_bytes = _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
                                               0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i together = _mm256_setr_epi32(0, 4, 0, 0, 0, 0, 0, 0);
    for (int x0 = 0; x0 < SIZE; x0 += 8) {
        for (int half = 0; half < BAND; half += 8) {  // file rows y0 + half to y0 + half + 7
            __m256i h[8], c[8];
            for (int i = 0; i < 8; ++i) {
                const std::size_t at = std::size_t(x0 + i) * SIZE + std::size_t(y0 + half);
                if (half == 0 && x0 + PREFETCH_ROWS < SIZE) {
                    __builtin_prefetch(heights + at + PREFETCH_ROWS * SIZE);
                    __builtin_prefetch(colours + at + PREFETCH_ROWS * SIZE);
                    // and the line of the next band, whose first row the caller
                    // reads next as this band's neighbour
                    __builtin_prefetch(heights + at + PREFETCH_ROWS * SIZE + 16);
                }
                h[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(heights + at));
                c[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(colours + at));
            }
            transpose(h);
            transpose(c);
            for (int j = 0; j < 8; ++j) {
                const __m256i level = _mm256_min_epi32(_mm256_max_epi32(h[j], zero), full);
                const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(level, low_bytes), together);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(t.level[half + j + 1] + GUARD + x0),
                                 _mm256_castsi256_si128(bytes));
                // colour rows are 64-byte aligned
                _mm256_store_si256(reinterpret_cast<__m256i*>(t.colour[half + j] + x0), c[j]);
            }
        }
    }
}

MAPGEN_TARGET_AVX2 std::uint8_t* put_row_avx2(band_tables& t, int j, std::uint8_t* out, const std::uint8_t* end) {
    return put_row(t, j, out, end);
}

MAPGEN_TARGET_AVX2 std::size_t columns_size_avx2(column_heights heights, vxl_file_rows rows) {
    return columns_size(heights, rows);
}

#else

// No such processor to run on: the path is never chosen, and a call gets the same bytes.
std::uint8_t* put_row_avx2(band_tables& t, int j, std::uint8_t* out, const std::uint8_t* end) {
    return put_row(t, j, out, end);
}
std::size_t columns_size_avx2(column_heights heights, vxl_file_rows rows) { return columns_size(heights, rows); }
void load_band_rows_avx2(const std::int32_t*, const std::uint32_t*, int, band_tables&) {}

#endif

}  // namespace column_encoder_parts
