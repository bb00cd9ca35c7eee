// The plain VXL encoder, word for word the format's rules: is_exposed asked afresh
// for every voxel, one span per pass. The programs write with the fast encoder
// (vxl_fast_encoder.h); this one is what tests and benchmarks hold it to, byte for
// byte. put_u32_le, the colour record's byte order, comes with it.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/byte_order.h"

/// 1 when voxel (x, y, z) is solid and one of its face neighbours inside the volume
/// is air; the map's outer sides, top and bottom are not surfaces by themselves.
int is_exposed(int x, int y, int z);

/// Exchanges z and 63 - z in every column of solid_map and color_map.
void flip_volume();

/// Appends the record of column (x, y) of the volume as it stands (file orientation).
void encode_vxl_column(int x, int y, std::vector<std::uint8_t>& out);

/// Appends the VXL records of the volume as it stands (file orientation) to out,
/// in file order.
void encode_vxl_map(std::vector<std::uint8_t>& out);
