#include "tools/map_info.h"

#include <algorithm>
#include <vector>

#include "mapfile/vxl_format.h"

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

    std::vector<std::uint32_t> colours = map.colours;
    std::sort(colours.begin(), colours.end());
    info.distinct_colours = std::size_t(std::unique(colours.begin(), colours.end()) - colours.begin());
    return info;
}
