// A generated map as the bytes of its VXL file, in memory: exactly the file that
// `mapgen -s SEED` (with start_regions: `mapgen -s SEED -d`) writes.
#pragma once

#include <cstdint>
#include <vector>

/// The VXL file of seed. Safe to call from any number of threads at once.
/// Throws std::bad_alloc when memory runs out.
std::vector<std::uint8_t> make_vxl_map(std::int32_t seed, bool start_regions);
