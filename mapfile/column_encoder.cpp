#include "mapfile/column_encoder.h"

#include <algorithm>

#include "mapfile/column_encoder_kernels.h"
#include "platform/target_attributes.h"
#include "platform/vector_path.h"

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
