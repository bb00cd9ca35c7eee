// The planar fields a terrain stage works on, passed explicitly: the volume's own
// for the program's run, or a caller's for a map made beside others. Each stage
// says which of them it reads, writes or overwrites as scratch, and touches no
// others. Every field is 512 x 512 elements, column (x, y) at x * 512 + y.
#pragma once

#include <cstdint>

#include "volume/volume.h"

struct noise_fill_tables;  // numerics/noise_fill.h

struct terrain_fields {
    float* height;                ///< terrain height of every column (height_field)
    float* noise_a;               ///< where a noise set's layers are summed, and scratch before (noise_field_a)
    std::int32_t* column_height;  ///< integer height of every column (column_height)
    /// Memory lent to the noise fills for their tables, or nullptr: they then keep
    /// their own on the stack. The volume lends none.
    noise_fill_tables* noise_tables = nullptr;
};

/// The volume's planar fields: height_field, noise_field_a, column_height. A noise
/// layer after a set's first is made band by band and added in at once, so the
/// generator leaves noise_field_b alone.
inline terrain_fields volume_terrain_fields() { return {height_field, noise_field_a, column_height}; }
