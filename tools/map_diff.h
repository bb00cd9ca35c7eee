// Comparing two VXL maps by what they hold, not by their bytes: two maps are the
// same when their solid voxels are the same and every voxel that carries a colour
// in either file carries the same colour in both. Span layout and trailing bytes
// do not matter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

/// One voxel that differs, with what each map says about it.
struct voxel_difference {
    int x = 0, y = 0, z = 0;      // z in file orientation
    bool solid_a = false, solid_b = false;
    bool coloured_a = false, coloured_b = false;
    std::uint32_t colour_a = 0, colour_b = 0;  // meaningful where coloured
};

struct map_difference {
    std::size_t columns = 0;  // columns with at least one differing voxel
    std::size_t voxels = 0;   // differing voxels
    std::vector<voxel_difference> first;  // the first differences in file order
};

/// Compares two images, both of which must already have passed check_vxl_map.
/// Keeps at most keep differences in first. Holds one column of each map at a time.
map_difference diff_vxl_maps(const std::uint8_t* a, std::size_t a_length, const std::uint8_t* b,
                            std::size_t b_length, std::size_t keep);
