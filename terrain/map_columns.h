// A generated map as columns. Every column the generator makes is solid from its
// lowest voxel up to its column height and carries one colour word in all of its
// voxels, so a height and a colour per column say everything its file holds.
#pragma once

#include <cstdint>

#include "volume/volume.h"  // COLUMN_COUNT

/// Generator order, column (x, y) at x * 512 + y.
struct map_columns {
    std::int32_t heights[COLUMN_COUNT];   ///< column_height of every column
    std::uint32_t colours[COLUMN_COUNT];  ///< its colour word, start regions painted in
};

/// The columns of the map of seed (with start_regions: the -d outlines painted).
/// Safe to call from any number of threads at once. Throws std::bad_alloc when
/// memory runs out.
void generate_map_columns(std::int32_t seed, bool start_regions, map_columns& out);
