// A generated map as the bytes of its VXL file, in memory: exactly the file that
// `mapgen -s SEED` (with start_regions: `mapgen -s SEED -d`) writes. The map is
// made as a height and a colour per column and encoded from those, without the
// voxel volume: nothing process-wide is read or written, so any number of threads
// may make maps at once, each with working memory of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "mapfile/file_buffer.h"
#include "terrain/map_columns.h"

/// The VXL file of seed. Safe to call from any number of threads at once.
/// Throws std::bad_alloc when memory runs out.
std::vector<std::uint8_t> make_vxl_map(std::int32_t seed, bool start_regions);

/// make_vxl_map into memory the caller keeps: the columns go into work (2 MiB,
/// reusable from one map to the next) and the file replaces what out held, reusing
/// its capacity. Throws std::bad_alloc when memory runs out.
void make_vxl_map(std::int32_t seed, bool start_regions, map_columns& work, std::vector<std::uint8_t>& out);

/// A map's columns in memory fresh from the system, mapped at once, in one 2 MiB
/// huge page where the system has them: first touches of 512 small pages would
/// cost a good part of what making the map does. Throws std::bad_alloc when the
/// system has no memory for them.
class fresh_map_columns {
  public:
    fresh_map_columns();
    map_columns& operator*() const { return *columns_; }

  private:
    file_buffer memory_;
    map_columns* columns_;
};

/// make_vxl_map in two steps, for a caller that brings the file's memory itself:
/// makes the columns of seed's map into work and returns the size of its file.
/// Throws std::bad_alloc when memory runs out.
std::size_t prepare_vxl_map(std::int32_t seed, bool start_regions, map_columns& work);

/// Writes the file of the map prepare_vxl_map left in work to the start of out and
/// returns its size; returns 0, and writes nothing beyond out, when out is smaller.
std::size_t encode_prepared_vxl_map(const map_columns& work, std::span<std::uint8_t> out);
