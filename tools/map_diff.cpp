#include "tools/map_diff.h"

#include <bit>

#include "mapfile/vxl_format.h"
#include "mapfile/vxl_loader.h"

map_difference diff_vxl_maps(const std::uint8_t* a, std::size_t a_length, const std::uint8_t* b,
                            std::size_t b_length, std::size_t keep) {
    map_difference diff;
    vxl_cursor cursor_a{a, a_length, 0, 0}, cursor_b{b, b_length, 0, 0};
    vxl_column col_a, col_b;
    for (std::size_t k = 0; k < VXL_RECORD_COUNT; ++k) {
        read_vxl_column(cursor_a, &col_a, nullptr);
        read_vxl_column(cursor_b, &col_b, nullptr);
        // A voxel coloured in one file only differs: the other does not carry
        // the same colour.
        std::uint64_t differ = (col_a.solid ^ col_b.solid) | (col_a.coloured ^ col_b.coloured);
        for (std::uint64_t both = col_a.coloured & col_b.coloured; both != 0; both &= both - 1) {
            const int z = std::countr_zero(both);
            if (col_a.colour[z] != col_b.colour[z]) differ |= std::uint64_t{1} << z;
        }
        if (differ == 0) continue;
        ++diff.columns;
        diff.voxels += std::size_t(std::popcount(differ));
        for (; differ != 0 && diff.first.size() < keep; differ &= differ - 1) {
            const int z = std::countr_zero(differ);
            voxel_difference d;
            d.x = int(k % VXL_MAP_SIZE);
            d.y = int(k / VXL_MAP_SIZE);
            d.z = z;
            d.solid_a = col_a.solid >> z & 1;
            d.solid_b = col_b.solid >> z & 1;
            d.coloured_a = col_a.coloured >> z & 1;
            d.coloured_b = col_b.coloured >> z & 1;
            d.colour_a = d.coloured_a ? col_a.colour[z] : 0;
            d.colour_b = d.coloured_b ? col_b.colour[z] : 0;
            diff.first.push_back(d);
        }
    }
    return diff;
}
