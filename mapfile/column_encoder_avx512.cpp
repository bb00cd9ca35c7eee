// The column encoder for AVX-512F and BW: its rows of records and its sizes, the
// same code as the baseline's compiled for the wider registers, and its table
// loader, which turns sixteen x-rows of sixteen 32-bit values (one cache line
// each) over in registers. Only this file's own functions carry the target.
#include "mapfile/column_encoder_kernels.h"

#include "platform/target_attributes.h"

#if MAPGEN_HAS_X86_KERNELS

#include <immintrin.h>

#include <array>

// GCC 12's own AVX-512 intrinsics (min, max, the narrowing) start from an
// "undefined" vector that it then reports as uninitialised; nothing of it is read.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

namespace column_encoder_parts {

namespace {

// One step of the 16 x 16 transpose: within each block of 2b columns of the row
// pair (i, i + b), the right half of row i and the left half of row i + b change
// places. b = 8, 4, 2, 1 in turn turns the whole block over.
template <int b>
struct block_swap {
    // Lanes of the pair's first row after the step: its own left half, then row
    // i + b's left half (lanes 16 and up of a two-register permute); and of the
    // second row: row i's right half, then its own right half.
    static constexpr std::array<std::int32_t, 16> first = [] {
        std::array<std::int32_t, 16> lanes{};
        for (int c = 0; c < 16; ++c) lanes[std::size_t(c)] = (c & b) ? 16 + c - b : c;
        return lanes;
    }();
    static constexpr std::array<std::int32_t, 16> second = [] {
        std::array<std::int32_t, 16> lanes{};
        for (int c = 0; c < 16; ++c) lanes[std::size_t(c)] = (c & b) ? 16 + c : c + b;
        return lanes;
    }();
};

template <int b>
MAPGEN_TARGET_AVX512 inline __attribute__((always_inline)) void swap_blocks(__m512i (&r)[16]) {
    const __m512i first = _mm512_loadu_si512(block_swap<b>::first.data());
    const __m512i second = _mm512_loadu_si512(block_swap<b>::second.data());
    for (int i = 0; i < 16; ++i) {
        if (i & b) continue;
        const __m512i top = r[i], bottom = r[i + b];
        r[i] = _mm512_permutex2var_epi32(top, first, bottom);
        r[i + b] = _mm512_permutex2var_epi32(top, second, bottom);
    }
}

MAPGEN_TARGET_AVX512 inline __attribute__((always_inline)) void transpose(__m512i (&r)[16]) {
    swap_blocks<8>(r);
    swap_blocks<4>(r);
    swap_blocks<2>(r);
    swap_blocks<1>(r);
}

// How many x-rows ahead the lines are asked for: 2 KiB apart, too far apart for
// the processor to fetch ahead on its own.
constexpr int PREFETCH_ROWS = 16;

}  // namespace

MAPGEN_TARGET_AVX512 void load_band_rows_avx512(const std::int32_t* heights, const std::uint32_t* colours, int y0,
                                                band_tables& t) {
    const __m512i zero = _mm512_setzero_si512(), full = _mm512_set1_epi32(FULL);
    for (int x0 = 0; x0 < SIZE; x0 += 16) {
        __m512i h[16], c[16];
        for (int i = 0; i < 16; ++i) {
            const std::size_t at = std::size_t(x0 + i) * SIZE + std::size_t(y0);
            if (x0 + PREFETCH_ROWS < SIZE) {
                __builtin_prefetch(heights + at + PREFETCH_ROWS * SIZE);
                __builtin_prefetch(colours + at + PREFETCH_ROWS * SIZE);
                // and the line of the next band, whose first row the caller
                // reads next as this band's neighbour
                __builtin_prefetch(heights + at + PREFETCH_ROWS * SIZE + 16);
            }
            h[i] = _mm512_loadu_si512(heights + at);
            c[i] = _mm512_loadu_si512(colours + at);
        }
        transpose(h);
        transpose(c);
        for (int j = 0; j < 16; ++j) {
            const __m512i level = _mm512_min_epi32(_mm512_max_epi32(h[j], zero), full);
            // level rows are 16-byte aligned, colour rows 64-byte aligned
            _mm_store_si128(reinterpret_cast<__m128i*>(t.level[j + 1] + GUARD + x0), _mm512_cvtepi32_epi8(level));
            _mm512_store_si512(t.colour[j] + x0, c[j]);
        }
    }
}

MAPGEN_TARGET_AVX512 std::uint8_t* put_row_avx512(band_tables& t, int j, std::uint8_t* out, const std::uint8_t* end) {
    return put_row(t, j, out, end);
}

MAPGEN_TARGET_AVX512 std::size_t columns_size_avx512(column_heights heights, vxl_file_rows rows) {
    return columns_size(heights, rows);
}

}  // namespace column_encoder_parts

#else

// No such processor to run on: the path is never chosen, and a call gets the same bytes.
namespace column_encoder_parts {
std::uint8_t* put_row_avx512(band_tables& t, int j, std::uint8_t* out, const std::uint8_t* end) {
    return put_row(t, j, out, end);
}
std::size_t columns_size_avx512(column_heights heights, vxl_file_rows rows) { return columns_size(heights, rows); }
void load_band_rows_avx512(const std::int32_t*, const std::uint32_t*, int, band_tables&) {}
}  // namespace column_encoder_parts

#endif
