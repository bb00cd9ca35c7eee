#include "tools/decoded_map.h"

#include <bit>

#include "mapfile/vxl_format.h"

namespace {

constexpr std::size_t COLUMNS = VXL_RECORD_COUNT;
constexpr std::uint32_t MID_GREY = 0x80808080;

}  // namespace

bool decode_map(const std::uint8_t* data, std::size_t length, DecodedMap* map, std::string* reason) {
    map->summary = check_vxl_map(data, length);
    if (!map->summary.ok) {
        if (reason) *reason = map->summary.reason;
        return false;
    }
    map->solid.assign(COLUMNS, 0);
    map->colored.assign(COLUMNS, 0);
    map->first_color.assign(COLUMNS + 1, 0);
    map->colors.clear();
    map->colors.reserve(map->summary.colored_voxels);

    VxlCursor cursor{data, length, 0, 0};
    VxlColumn column;
    for (std::size_t k = 0; k < COLUMNS; ++k) {
        read_vxl_column(cursor, &column, nullptr);
        map->solid[k] = column.solid;
        map->colored[k] = column.colored;
        map->first_color[k] = std::uint32_t(map->colors.size());
        for (std::uint64_t left = column.colored; left != 0; left &= left - 1)
            map->colors.push_back(column.color[std::countr_zero(left)]);
    }
    map->first_color[COLUMNS] = std::uint32_t(map->colors.size());
    return true;
}

std::uint32_t voxel_color(const DecodedMap& map, std::size_t entry, int z) {
    const std::uint64_t before = map.colored[entry] & ((std::uint64_t{1} << z) - 1);
    return map.colors[map.first_color[entry] + std::uint32_t(std::popcount(before))];
}

std::uint32_t shown_color(const DecodedMap& map, std::size_t entry, int z) {
    const std::uint64_t colored = map.colored[entry];
    if (colored >> z & 1) return voxel_color(map, entry, z);
    const std::uint64_t above = colored & ((std::uint64_t{1} << z) - 1);
    if (above) return voxel_color(map, entry, VXL_COLUMN_DEPTH - 1 - std::countl_zero(above));
    const std::uint64_t below = colored >> z;
    if (below) return voxel_color(map, entry, z + std::countr_zero(below));
    return MID_GREY;
}

int top_solid_z(const DecodedMap& map, std::size_t entry) { return std::countr_zero(map.solid[entry]); }
