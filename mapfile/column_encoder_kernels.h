// Inside the column encoder: the code that makes records and sizes, shared by
// column_encoder.cpp, which runs it as the build's target allows, and
// column_encoder_avx2.cpp and column_encoder_avx512.cpp, which compile the same
// code for wider registers (the vectorizer then works on 32 or 64 bytes at a
// time); both, and column_encoder_baseline.cpp on x86, also turn the inputs over
// into the tables in registers. Integer code only: every path gives the same bytes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "mapfile/column_encoder.h"
#include "platform/byte_order.h"

// Forced into their callers, so that each path's copy is compiled for that path.
#if defined(__GNUC__)
#define MAPGEN_ALWAYS_INLINE __attribute__((always_inline))
#else
#define MAPGEN_ALWAYS_INLINE
#endif

namespace column_encoder_parts {

constexpr int SIZE = VXL_MAP_SIZE;
constexpr int FULL = VXL_COLUMN_DEPTH - 1;  // level of a column whose 64 voxels are all solid

// ---- one column's record
//
// The level of a column is its column height cut to 0..63: it is solid for
// generator z = 0..level, so in file orientation air down to its top voxel
// t = 63 - level and solid from t to the bottom. Its voxel t is exposed by the air
// above it (when t > 0); a neighbour of level n has air for file z < 63 - n, and
// so exposes the column's voxels from t down to 62 - m, where m is the lowest
// level among the neighbours inside the map. Nothing below is exposed, and the
// bottom voxel of every column is solid, so the record is one last span
// (0, t, t + run - 1, 0) and run colours, with run = max(1, level - m). The run is
// at least 1 even for a column solid to the top beside columns solid to the top:
// with nothing exposed, the writer opens its top run with the hidden voxel at
// z = 0, since the header cannot hold an empty run that ends at z = -1.

// level of a column height; a negative height counts as 0, as the generator raises it
inline std::uint8_t level_of(std::int32_t height) { return std::uint8_t(std::clamp(height, 0, FULL)); }

// Lines of levels (an x-row or a file row of the map) with a guard either side:
// beyond the map's edge counts as FULL, which never lowers a neighbour minimum,
// so the map's outer sides expose nothing.
constexpr int GUARD = 16;  // keeps the lines 16-byte aligned
constexpr int STRIDE = SIZE + 2 * GUARD;

// Sets run[i] for i in [from, to) to the colour count of the column own[i] of a
// line whose neighbouring lines are before and after; returns their sum.
MAPGEN_ALWAYS_INLINE inline unsigned runs_of_line(const std::uint8_t* before, const std::uint8_t* own, const std::uint8_t* after,
                      std::uint8_t* run, int from, int to) {
    unsigned sum = 0;
    for (int i = from; i < to; ++i) {
        const std::uint8_t lowest = std::min(std::min(before[i], after[i]), std::min(own[i - 1], own[i + 1]));
        const std::uint8_t drop = own[i] > lowest ? std::uint8_t(own[i] - lowest) : std::uint8_t{0};
        const std::uint8_t r = std::max(drop, std::uint8_t{1});
        run[i] = r;
        sum += r;
    }
    return sum;
}

// Bytes of a line's records from the colour count of its columns.
inline std::size_t record_bytes(std::size_t columns, std::size_t colours) {
    return VXL_SPAN_HEADER_BYTES * columns + VXL_COLOUR_BYTES * colours;
}

// ---- the file, band by band
//
// The inputs lie x-row by x-row, the file file row by file row (x fastest). A band
// of file rows is therefore first turned over into tables in file order: the
// levels of its rows and of the row either side, and its colours, read once each,
// a whole cache line of one x-row at a time. The records are then written
// straight through, in file order. Reading a colour per column across x-rows
// instead would step 2 KiB at a time, where a cache holds few such lines.

constexpr int BAND = 16;                  // file rows: one 64-byte line of an x-row's colours
constexpr int COLOUR_STRIDE = SIZE + 16;  // so that the band's colour rows do not share cache sets

struct band_tables {
    alignas(64) std::uint8_t level[BAND + 2][STRIDE];  // file rows y0 - 1 to y0 + BAND
    alignas(64) std::uint32_t colour[BAND][COLOUR_STRIDE];
    alignas(64) std::uint8_t run[STRIDE];
};

// Writes the records of count columns whose run is 1 at out; returns their end.
MAPGEN_ALWAYS_INLINE inline std::uint8_t* put_single_colour_records(std::uint8_t* out, const std::uint8_t* level, const std::uint32_t* colour,
                                        int count) {
    for (int i = 0; i < count; ++i) {
        const std::uint64_t top = std::uint64_t(FULL - level[i]);
        store_le64(out + 8 * i, top << 8 | top << 16 | std::uint64_t{colour[i]} << 32);
    }
    return out + 8 * count;
}

// Writes the records of band row j at out, if they fit before end; returns the end
// of what it wrote, or nullptr when they do not fit.
MAPGEN_ALWAYS_INLINE inline std::uint8_t* put_row(band_tables& t, int j, std::uint8_t* out, const std::uint8_t* end) {
    const std::uint8_t* own = t.level[j + 1] + GUARD;
    std::uint8_t* run = t.run + GUARD;
    const unsigned colours = runs_of_line(t.level[j] + GUARD, own, t.level[j + 2] + GUARD, run, 0, SIZE);
    if (record_bytes(SIZE, colours) > std::size_t(end - out)) return nullptr;
    const std::uint32_t* colour = t.colour[j];
    if (colours == SIZE) return put_single_colour_records(out, own, colour, SIZE);
    int x = 0;
    while (true) {
        // Nearly every record of a generated map is the header and one colour:
        // stretches of those are written in one loop the compiler can vectorize.
        int stop = x;
        while (stop < SIZE && run[stop] == 1) ++stop;
        out = put_single_colour_records(out, own + x, colour + x, stop - x);
        if (stop == SIZE) return out;
        x = stop;
        const std::uint32_t top = std::uint32_t(FULL - own[x]);
        const std::uint32_t header = top << 8 | (top + run[x] - 1) << 16;  // span_length 0, air_start 0
        store_le32(out, header);
        out += VXL_SPAN_HEADER_BYTES;
        for (int i = 0; i < run[x]; ++i, out += VXL_COLOUR_BYTES) store_le32(out, colour[x]);
        ++x;
    }
}

// The size of the file rows (within the map), x-row by x-row as the heights lie:
// it depends only on how many colours each column has, not on where its record goes.
MAPGEN_ALWAYS_INLINE inline std::size_t columns_size(column_heights heights, vxl_file_rows rows) {
    alignas(64) std::uint8_t lines[3][STRIDE];
    for (auto& line : lines) std::fill_n(line, STRIDE, FULL);  // guards, and the x-row beyond x = 0
    std::uint8_t* before = lines[0] + GUARD;
    std::uint8_t* own = lines[1] + GUARD;
    std::uint8_t* after = lines[2] + GUARD;
    alignas(64) std::uint8_t run[STRIDE];
    for (int y = 0; y < SIZE; ++y) own[y] = level_of(heights[std::size_t(y)]);
    std::size_t colours = 0;
    for (int x = 0; x < SIZE; ++x) {
        if (x + 1 < SIZE) {
            const std::int32_t* next = heights.data() + std::size_t(x + 1) * SIZE;
            for (int y = 0; y < SIZE; ++y) after[y] = level_of(next[y]);
        } else {
            std::fill_n(after, SIZE, FULL);
        }
        colours += runs_of_line(before, own, after, run + GUARD, rows.y_begin, rows.y_end);
        std::uint8_t* spare = before;
        before = own;
        own = after;
        after = spare;
    }
    return record_bytes(std::size_t(SIZE) * std::size_t(rows.y_end - rows.y_begin), colours);
}

// ---- the paths' own copies (column_encoder_avx2.cpp, column_encoder_avx512.cpp);
// call each only where its path is supported

/// put_row and columns_size, compiled for AVX2.
std::uint8_t* put_row_avx2(band_tables& t, int j, std::uint8_t* out, const std::uint8_t* end);
std::size_t columns_size_avx2(column_heights heights, vxl_file_rows rows);
/// put_row and columns_size, compiled for AVX-512.
std::uint8_t* put_row_avx512(band_tables& t, int j, std::uint8_t* out, const std::uint8_t* end);
std::size_t columns_size_avx512(column_heights heights, vxl_file_rows rows);
/// For the band's 16 file rows y0 to y0 + 15 (0 <= y0 <= 496) and every x: the levels
/// and colours of the tables, t.level[1] to t.level[BAND] and t.colour; the rows
/// either side are the caller's.
void load_band_rows_avx512(const std::int32_t* heights, const std::uint32_t* colours, int y0, band_tables& t);
/// The same, compiled for AVX2.
void load_band_rows_avx2(const std::int32_t* heights, const std::uint32_t* colours, int y0, band_tables& t);
#if defined(__SSE2__)
/// The same in SSE2 (column_encoder_baseline.cpp); without it, one value at a time.
void load_band_rows_sse2(const std::int32_t* heights, const std::uint32_t* colours, int y0, band_tables& t);
#endif

}  // namespace column_encoder_parts
