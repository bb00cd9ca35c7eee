// The fast encoder's pieces one at a time, for the tests that hold them to the
// plain encoder column by column and for the benchmarks; the programs call only
// what mapfile/vxl_fast_encoder.h declares.
#pragma once

#include <cstdint>
#include <vector>

/// Appends the record of column (x, y) of the volume as it stands (file
/// orientation), byte for byte what encode_vxl_column appends.
void encode_vxl_column_fast(int x, int y, std::vector<std::uint8_t>& out);

/// Same effect as flip_volume, with whole columns in vector registers.
void flip_volume_fast();
