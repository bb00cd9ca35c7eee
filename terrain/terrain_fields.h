// The planar fields a terrain stage works on, passed explicitly: the volume's own
// for the program's run, or a caller's for a map made beside others. Each stage
// says which of them it reads, writes or overwrites as scratch, and touches no
// others. Every field is 512 x 512 elements, column (x, y) at x * 512 + y.
#pragma once

#include <cstdint>

#include "volume/volume.h"

struct terrain_fields {
    float* height;                ///< terrain height of every column (height_field)
    float* noise_a;               ///< where a noise set's layers are summed (noise_field_a)
    float* noise_b;               ///< scratch of the profile heights (noise_field_b)
    std::int32_t* column_height;  ///< integer height of every column (column_height)
};

/// The volume's planar fields: height_field, noise_field_a, noise_field_b, column_height.
inline terrain_fields volume_terrain_fields() { return {height_field, noise_field_a, noise_field_b, column_height}; }
