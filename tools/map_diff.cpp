#include "tools/map_diff.h"

#include <bit>

#include "mapfile/vxl_format.h"
#include "mapfile/vxl_loader.h"

MapDifference diff_vxl_maps(const std::uint8_t* a, std::size_t a_length, const std::uint8_t* b,
                            std::size_t b_length, std::size_t keep) {
    MapDifference diff;
    VxlCursor cursor_a{a, a_length, 0, 0}, cursor_b{b, b_length, 0, 0};
    VxlColumn col_a, col_b;
    for (std::size_t k = 0; k < VXL_RECORD_COUNT; ++k) {
        read_vxl_column(cursor_a, &col_a, nullptr);
        read_vxl_column(cursor_b, &col_b, nullptr);
        // A voxel coloured in one file only differs: the other does not carry
        // the same colour.
        std::uint64_t differ = (col_a.solid ^ col_b.solid) | (col_a.colored ^ col_b.colored);
        for (std::uint64_t both = col_a.colored & col_b.colored; both != 0; both &= both - 1) {
            const int z = std::countr_zero(both);
            if (col_a.color[z] != col_b.color[z]) differ |= std::uint64_t{1} << z;
        }
        if (differ == 0) continue;
        ++diff.columns;
        diff.voxels += std::size_t(std::popcount(differ));
        for (; differ != 0 && diff.first.size() < keep; differ &= differ - 1) {
            const int z = std::countr_zero(differ);
            VoxelDifference d;
            d.x = int(k % VXL_MAP_SIZE);
            d.y = int(k / VXL_MAP_SIZE);
            d.z = z;
            d.solid_a = col_a.solid >> z & 1;
            d.solid_b = col_b.solid >> z & 1;
            d.colored_a = col_a.colored >> z & 1;
            d.colored_b = col_b.colored >> z & 1;
            d.color_a = d.colored_a ? col_a.color[z] : 0;
            d.color_b = d.colored_b ? col_b.color[z] : 0;
            diff.first.push_back(d);
        }
    }
    return diff;
}
