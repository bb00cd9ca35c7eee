// The VXL map format, shared by the writer and the loader. A file is nothing but
// 262,144 column records, one per column, with x varying fastest; heights are in
// file orientation (z = 0 is the top layer). A record is a chain of spans:
//
//   span_length  top_start  top_end  air_start  | top colours | bottom colours
//
// span_length counts the whole span (header included) in 4-byte units and is 0
// for a column's last span, which carries no bottom colours. A colour record is
// the colour word least significant byte first: blue, green, red, top byte.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t VXL_RECORD_COUNT = 262144;  // 512 x 512 columns, no file header
constexpr int VXL_MAP_SIZE = 512;                 // columns along x and along y
constexpr int VXL_COLUMN_DEPTH = 64;              // voxels in a column

constexpr std::size_t VXL_SPAN_HEADER_BYTES = 4;
constexpr std::size_t VXL_COLOUR_BYTES = 4;

// Byte offsets inside a span header.
constexpr std::size_t VXL_SPAN_LENGTH = 0;  // 4-byte units, header included; 0 = last span
constexpr std::size_t VXL_TOP_START = 1;    // z of the first voxel of the top colour run
constexpr std::size_t VXL_TOP_END = 2;      // z of its last voxel; top_start - 1 when empty
constexpr std::size_t VXL_AIR_START = 3;    // z where the air above this span begins

/// A non-last span ends above z = 63, so its colours number at most 63: 1 + 63.
constexpr int VXL_MAX_SPAN_LENGTH = 64;

/// The largest column record, in bytes: 4 per span header and 4 per colour, and
/// spans + colours <= 65. Each span after the first starts on a voxel without a
/// colour (air, or solid the file leaves uncoloured), except a last span whose
/// exposed voxels run to the bottom. That one follows a span with hidden solid in
/// it; going back from there over spans that start on hidden solid (each comes
/// after a bottom run, which only a stretch of hidden solid above it makes), one
/// reaches the first span, which then holds a voxel without colour of its own, or
/// a span that starts on air and so holds two. Either way the voxels without
/// colour are at least the spans less one. The largest record is a column of
/// alternating exposed solid and air from the top: 33 spans and 32 colours.
/// Records longer than this are never written and are refused when read, which
/// bounds what reading a map can cost.
constexpr std::size_t VXL_MAX_RECORD_BYTES = 4 * 65;
/// The most bytes the records of one map can take: 68,157,440.
constexpr std::size_t VXL_MAX_RECORDS_BYTES = VXL_RECORD_COUNT * VXL_MAX_RECORD_BYTES;

/// The record of a column that is air from top to bottom: one last span whose empty
/// top run starts below the bottom voxel.
constexpr std::uint8_t VXL_AIR_COLUMN[VXL_SPAN_HEADER_BYTES] = {0x00, 0x40, 0x3F, 0x00};
/// Size of the file of an all-air volume: 1,048,576 bytes.
constexpr std::size_t VXL_AIR_MAP_BYTES = VXL_RECORD_COUNT * VXL_SPAN_HEADER_BYTES;

/// Position of column (x, y)'s record in the file, counted in records.
constexpr std::size_t vxl_record_number(int x, int y) {
    return std::size_t(y) * VXL_MAP_SIZE + std::size_t(x);
}
