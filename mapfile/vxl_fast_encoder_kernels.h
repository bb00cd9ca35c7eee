// Between the fast VXL encoder and its per-path kernels (vxl_fast_encoder_baseline.cpp,
// vxl_fast_encoder_avx512.cpp), which read the top byte of every column from
// solid_map. Every kernel gives the same bytes; call a wider one only where its
// path is supported (builds without x86 kernels have only the baseline one).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "mapfile/column_bits.h"

/// Top byte of a column that is not ground (in file orientation: air down to a top
/// voxel, solid from there to the bottom).
constexpr std::uint8_t OTHER_SHAPE = 0xFF;

/// The top byte of a column from its mask in generator orientation, where ground
/// is the low bits: solid from z = 0 up, so that its file top, 0 (all solid) to 64
/// (all air), is the count of high zero bits; OTHER_SHAPE otherwise.
inline std::uint8_t top_byte(column_mask generator_mask) {
    return (generator_mask & (generator_mask + 1)) == 0 ? std::uint8_t(std::countl_zero(generator_mask)) : OTHER_SHAPE;
}

/// The top bytes of every column of the volume: x-row x at rows + x * stride, y = 0..511.
void read_tops_baseline(std::uint8_t* rows, std::size_t stride);
/// The same, a column per load and compare (AVX-512BW).
void read_tops_avx512(std::uint8_t* rows, std::size_t stride);
