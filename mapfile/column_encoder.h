// The VXL file of a generated map straight from its columns, without the voxel
// volume. Every column the generator makes is solid from its lowest voxel up to its
// column height and carries one colour word in all of its voxels, so its record
// follows from its height, its colour and its four side neighbours' heights: the
// bytes are exactly those the writer makes of the volume such columns fill.
//
// Inputs are in the generator's column order, x * 512 + y: a column height per
// column (never negative in a generated map; a negative one counts as 0, and 63 or
// more means all 64 voxels solid) and a colour word per column. Pure and
// reentrant: no state of its own, no heap; the encoder's tables (about 44 KiB)
// live on the calling thread's stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "mapfile/vxl_format.h"

using column_heights = std::span<const std::int32_t, VXL_RECORD_COUNT>;
using column_colours = std::span<const std::uint32_t, VXL_RECORD_COUNT>;

/// File rows y_begin to y_end - 1 (0 <= y_begin <= y_end <= 512): file row y is
/// the records of columns (0, y) to (511, y), and the whole file is rows 0 to 511.
struct vxl_file_rows {
    int y_begin = 0;
    int y_end = VXL_MAP_SIZE;
};

/// Exact size in bytes of the records of the given file rows.
std::size_t vxl_columns_size(column_heights heights, vxl_file_rows rows = {});

/// Writes the records of the given file rows, in file order, to the start of out;
/// returns how many bytes that is, vxl_columns_size(heights, rows). Returns 0 when
/// out is smaller than that; nothing is then written beyond out, and what it holds
/// is unspecified.
std::size_t encode_vxl_columns(column_heights heights, column_colours colours, std::span<std::uint8_t> out,
                               vxl_file_rows rows = {});
