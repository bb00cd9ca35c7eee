#include "tools/decoded_map.h"

#include <algorithm>
#include <bit>

#include "mapfile/vxl_format.h"

namespace {

constexpr std::size_t COLUMNS = VXL_RECORD_COUNT;
constexpr std::uint32_t MID_GREY = 0x80808080;

}  // namespace

bool decode_map(const std::uint8_t* data, std::size_t length, decoded_map* map, std::string* reason) {
    map->solid.assign(COLUMNS, 0);
    map->coloured.assign(COLUMNS, 0);
    map->first_colour.assign(COLUMNS + 1, 0);
    map->colours.clear();
    // Checked and decoded in one pass, so the number of colour records is not
    // known yet: each takes 4 bytes of the image, which bounds them. The room
    // they do not use is never touched, and costs no memory.
    map->colours.reserve(std::min(length / VXL_COLOUR_BYTES, COLUMNS * VXL_COLUMN_DEPTH));
    map->summary = walk_vxl_map(data, length, [map](std::size_t k, const vxl_column& column) {
        map->solid[k] = column.solid;
        map->coloured[k] = column.coloured;
        map->first_colour[k] = std::uint32_t(map->colours.size());
        for (std::uint64_t left = column.coloured; left != 0; left &= left - 1)
            map->colours.push_back(column.colour[std::countr_zero(left)]);
    });
    if (!map->summary.ok) {
        if (reason) *reason = map->summary.reason;
        return false;
    }
    map->first_colour[COLUMNS] = std::uint32_t(map->colours.size());
    return true;
}

std::uint32_t voxel_colour(const decoded_map& map, std::size_t entry, int z) {
    const std::uint64_t before = map.coloured[entry] & ((std::uint64_t{1} << z) - 1);
    return map.colours[map.first_colour[entry] + std::uint32_t(std::popcount(before))];
}

std::uint32_t shown_colour(const decoded_map& map, std::size_t entry, int z) {
    const std::uint64_t coloured = map.coloured[entry];
    if (coloured >> z & 1) return voxel_colour(map, entry, z);
    const std::uint64_t above = coloured & ((std::uint64_t{1} << z) - 1);
    if (above) return voxel_colour(map, entry, VXL_COLUMN_DEPTH - 1 - std::countl_zero(above));
    const std::uint64_t below = coloured >> z;
    if (below) return voxel_colour(map, entry, z + std::countr_zero(below));
    return MID_GREY;
}

int top_solid_z(const decoded_map& map, std::size_t entry) { return std::countr_zero(map.solid[entry]); }
