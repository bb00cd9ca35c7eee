// What a map holds, in the terms people who host maps ask about: sizes, spans,
// solid and coloured voxels, surface heights and colours.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/decoded_map.h"

struct map_info {
    std::uint64_t bytes = 0;
    std::uint64_t record_bytes = 0;
    std::uint64_t trailing_bytes = 0;
    std::size_t columns = 0;
    std::uint64_t spans = 0;
    std::uint64_t solid_voxels = 0;
    std::uint64_t coloured_voxels = 0;  // colour records
    std::size_t empty_columns = 0;    // no solid voxel at all
    std::size_t floor_columns = 0;    // surface height 0: nothing solid above the bottom layer
    std::size_t distinct_colours = 0;  // distinct colour words among the colour records
    /// Surface height of a column: how many voxels its topmost solid voxel stands
    /// above the bottom layer (63 - z), the generator's column height. -1 for both
    /// when every column is empty.
    int surface_min = -1;
    int surface_max = -1;
};

/// How many different values words holds.
std::size_t count_distinct_words(const std::vector<std::uint32_t>& words);

/// Summarises a decoded map.
map_info summarize_map(const decoded_map& map);
