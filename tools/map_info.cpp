#include "tools/map_info.h"

#include <algorithm>
#include <array>
#include <vector>

#include "mapfile/vxl_format.h"

std::size_t count_distinct_words(const std::vector<std::uint32_t>& words) {
    // Grouped by the top byte (the one after blue, green and red, the same in
    // nearly every map), each group's low 24 bits are marked in a bitmap of
    // 2 MiB: a few passes over the words, where sorting a copy took some 40% of
    // reading a map.
    std::array<std::size_t, 257> start{};
    for (const std::uint32_t w : words) ++start[(w >> 24) + 1];
    int groups = 0;
    for (int top = 0; top < 256; ++top) {
        groups += start[top + 1] != 0;
        start[top + 1] += start[top];
    }
    const std::uint32_t* grouped = words.data();
    std::vector<std::uint32_t> scattered;
    if (groups > 1) {
        scattered.resize(words.size());
        std::array<std::size_t, 256> next;
        std::copy_n(start.begin(), 256, next.begin());
        for (const std::uint32_t w : words) scattered[next[w >> 24]++] = w;
        grouped = scattered.data();
    }
    std::vector<std::uint64_t> seen(std::size_t{1} << 18);
    std::size_t distinct = 0;
    for (int top = 0; top < 256; ++top) {
        const std::uint32_t* const first = grouped + start[top];
        const std::uint32_t* const last = grouped + start[top + 1];
        for (const std::uint32_t* w = first; w != last; ++w) {
            std::uint64_t& word = seen[(*w & 0xFFFFFF) >> 6];
            const std::uint64_t bit = std::uint64_t{1} << (*w & 63);
            distinct += (word & bit) == 0;
            word |= bit;
        }
        // Cleared the way it was marked, for the next group.
        for (const std::uint32_t* w = first; w != last; ++w) seen[(*w & 0xFFFFFF) >> 6] = 0;
    }
    return distinct;
}

map_info summarize_map(const decoded_map& map) {
    map_info info;
    info.bytes = map.summary.bytes;
    info.record_bytes = map.summary.record_bytes;
    info.trailing_bytes = map.summary.trailing_bytes;
    info.columns = map.solid.size();
    info.spans = map.summary.spans;
    info.solid_voxels = map.summary.solid_voxels;
    info.coloured_voxels = map.summary.coloured_voxels;

    for (std::size_t k = 0; k < map.solid.size(); ++k) {
        const int top = top_solid_z(map, k);
        if (top == VXL_COLUMN_DEPTH) {
            ++info.empty_columns;
            continue;
        }
        const int height = VXL_COLUMN_DEPTH - 1 - top;
        if (height == 0) ++info.floor_columns;
        if (info.surface_min < 0 || height < info.surface_min) info.surface_min = height;
        if (height > info.surface_max) info.surface_max = height;
    }

    info.distinct_colours = count_distinct_words(map.colours);
    return info;
}
