#include "terrain/map_columns.h"

#include <mutex>

#include "numerics/rng.h"
#include "terrain/map.h"

// For now the map is made in the process-wide volume, one call at a time.
void generate_map_columns(std::int32_t seed, bool start_regions, map_columns& out) {
    static std::mutex volume_in_use;
    const std::lock_guard<std::mutex> lock(volume_in_use);
    clear_volume();
    debug_regions = start_regions ? 1 : 0;
    rng_seed(static_cast<std::uint32_t>(seed));
    generate_map();
    for (std::size_t column = 0; column < COLUMN_COUNT; ++column) {
        out.heights[column] = column_height[column];
        out.colours[column] = color_map[column * MAP_DEPTH];
    }
    clear_volume();
}
