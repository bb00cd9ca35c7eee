#include "mapfile/column_encoder.h"

#include <algorithm>

#include "mapfile/column_encoder_kernels.h"
#include "platform/target_attributes.h"
#include "platform/vector_path.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace column_encoder_parts;

namespace {

vxl_file_rows within_map(vxl_file_rows rows) {
    rows.y_begin = std::max(rows.y_begin, 0);
    rows.y_end = std::min(rows.y_end, SIZE);
    if (rows.y_end < rows.y_begin) rows.y_end = rows.y_begin;
    return rows;
}

bool on_avx512(vector_path path) { return MAPGEN_HAS_X86_KERNELS && path == vector_path::avx512; }
bool on_avx2(vector_path path) { return MAPGEN_HAS_X86_KERNELS && path == vector_path::avx2; }

std::uint8_t* put_row_on(vector_path path, band_tables& t, int j, std::uint8_t* out, const std::uint8_t* end) {
    if (on_avx512(path)) return put_row_avx512(t, j, out, end);
    if (on_avx2(path)) return put_row_avx2(t, j, out, end);
    return put_row(t, j, out, end);
}

// How many x-rows ahead load_band asks for the lines it will read: in a run, where
// the colours come straight from the colouring, it takes a third less time with
// 8 than with none (4 to 32 do about as well).
constexpr int PREFETCH_ROWS = 8;

#if defined(__SSE2__)

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

// The tables of the band's 16 file rows, as load_band_rows_avx512 makes them, in
// SSE2 registers: 4 x 4 blocks turned over, eight x-rows at a time so that the
// levels of a file row are packed eight to a store. SSE2 has no 32-bit min or
// max: packing with saturation takes negative heights to 0 and large ones to 255,
// and a byte min caps them at FULL.
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

#endif

// The tables of a whole band's 16 rows on path's loader; false where it has none.
bool load_band_rows(vector_path path, column_heights heights, column_colours colours, int y0, band_tables& t) {
    if (on_avx512(path)) {
        load_band_rows_avx512(heights.data(), colours.data(), y0, t);
        return true;
    }
    if (on_avx2(path)) {
        load_band_rows_avx2(heights.data(), colours.data(), y0, t);
        return true;
    }
#if defined(__SSE2__)
    load_band_rows_sse2(heights.data(), colours.data(), y0, t);
    return true;
#else
    return false;
#endif
}

// Fills the tables for the file rows y0 to y0 + rows - 1.
void load_band(column_heights heights, column_colours colours, int y0, int rows, band_tables& t, vector_path path) {
    const int first = std::max(y0 - 1, 0), end = std::min(y0 + rows + 1, SIZE);  // rows inside the map
    for (int y = y0 - 1; y < y0 + rows + 1; ++y)
        if (y < first || y >= end) std::fill_n(t.level[y - y0 + 1] + GUARD, SIZE, FULL);
    if (rows == BAND && load_band_rows(path, heights, colours, y0, t)) {
        // The row either side, where it is inside the map: one level per x-row.
        for (const int y : {y0 - 1, y0 + BAND})
            if (y >= first && y < end)
                for (int x = 0; x < SIZE; ++x)
                    t.level[y - y0 + 1][GUARD + x] = level_of(heights[std::size_t(x) * SIZE + std::size_t(y)]);
        return;
    }
    for (int x = 0; x < SIZE; ++x) {
        const std::int32_t* h = heights.data() + std::size_t(x) * SIZE;
        if (x + PREFETCH_ROWS < SIZE) {
            // The lines a few x-rows on, 2 KiB apart: too far apart for the
            // processor to fetch ahead on its own.
            const std::size_t ahead = std::size_t(x + PREFETCH_ROWS) * SIZE;
            __builtin_prefetch(colours.data() + ahead + y0);
            __builtin_prefetch(heights.data() + ahead + y0 + rows);
        }
        for (int y = first; y < end; ++y) t.level[y - y0 + 1][GUARD + x] = level_of(h[y]);
        const std::uint32_t* c = colours.data() + std::size_t(x) * SIZE + y0;
        for (int j = 0; j < rows; ++j) t.colour[j][x] = c[j];
    }
}

}  // namespace

std::size_t vxl_columns_size(column_heights heights, vxl_file_rows rows) {
    rows = within_map(rows);
    const vector_path path = chosen_vector_path();
    if (on_avx512(path)) return columns_size_avx512(heights, rows);
    if (on_avx2(path)) return columns_size_avx2(heights, rows);
    return columns_size(heights, rows);
}

std::size_t encode_vxl_columns(column_heights heights, column_colours colours, std::span<std::uint8_t> out,
                               vxl_file_rows rows) {
    rows = within_map(rows);
    band_tables t;
    for (auto& line : t.level) std::fill_n(line, STRIDE, FULL);  // the guards
    const vector_path path = chosen_vector_path();
    std::uint8_t* at = out.data();
    const std::uint8_t* const end = at + out.size();
    for (int y0 = rows.y_begin; y0 < rows.y_end; y0 += BAND) {
        const int band_rows = std::min(BAND, rows.y_end - y0);
        load_band(heights, colours, y0, band_rows, t, path);
        for (int j = 0; j < band_rows; ++j) {
            at = put_row_on(path, t, j, at, end);
            if (at == nullptr) return 0;
        }
    }
    return std::size_t(at - out.data());
}
