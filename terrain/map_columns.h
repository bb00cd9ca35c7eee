// A generated map as columns. Every column the generator makes is solid from its
// lowest voxel up to its column height and carries one colour word in all of its
// voxels, so a height and a colour per column say everything its file holds.
//
// Made without the voxel volume and without any process-wide state: each call has
// its own random source and working memory, so any number of threads may make maps
// at once, and each gets the bits the program's run makes in the volume.
#pragma once

#include <cstdint>

#include "volume/volume.h"  // COLUMN_COUNT

/// Generator order, column (x, y) at x * 512 + y.
struct alignas(64) map_columns {
    std::int32_t heights[COLUMN_COUNT];   ///< column_height of every column
    std::uint32_t colours[COLUMN_COUNT];  ///< its colour word, start regions painted in
};

/// The working memory of one call: two planar fields, 2 MiB. Its content between
/// calls means nothing. A caller that makes many maps keeps one per thread and
/// hands it to each call, which spares mapping and clearing fresh pages every time.
struct alignas(64) map_workspace {
    float height[COLUMN_COUNT];
    float noise_a[COLUMN_COUNT];
};

/// The columns of the map of seed (with start_regions: the -d outlines painted).
/// Safe to call from any number of threads at once. Throws std::bad_alloc when
/// memory for its workspace runs out.
void generate_map_columns(std::int32_t seed, bool start_regions, map_columns& out);
/// The same in the caller's workspace, which no other call may use meanwhile.
/// Allocates nothing and cannot fail.
void generate_map_columns(std::int32_t seed, bool start_regions, map_columns& out, map_workspace& work);
