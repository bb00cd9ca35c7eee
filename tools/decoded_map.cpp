#include "tools/decoded_map.h"

#include <algorithm>
#include <bit>

#include "mapfile/vxl_format.h"

namespace {

constexpr std::size_t COLUMNS = VXL_RECORD_COUNT;
constexpr std::uint32_t MID_GREY = 0x80808080;

// Ready to take the records in order.
void begin_decoding(decoded_map* map) {
    map->solid.assign(COLUMNS, 0);
    map->coloured.assign(COLUMNS, 0);
    map->first_colour.assign(COLUMNS + 1, 0);
    map->colours.clear();
}

// Takes record k, the next one in file order.
struct column_decoder {
    decoded_map* map;
    // The number of colour records is not known before the records are read:
    // each takes 4 bytes of the image, which bounds them. The room they do not
    // use is never touched, and costs no memory.
    void expect_bytes(std::uint64_t bytes) const {
        map->colours.reserve(std::size_t(std::min<std::uint64_t>(bytes / VXL_COLOUR_BYTES, COLUMNS * VXL_COLUMN_DEPTH)));
    }
    void operator()(std::size_t k, const vxl_column& column) const {
        map->solid[k] = column.solid;
        map->coloured[k] = column.coloured;
        map->first_colour[k] = std::uint32_t(map->colours.size());
        for (std::uint64_t left = column.coloured; left != 0; left &= left - 1)
            map->colours.push_back(column.colour[std::countr_zero(left)]);
    }
};

bool end_decoding(decoded_map* map, std::string* reason) {
    if (!map->summary.ok) {
        if (reason) *reason = map->summary.reason;
        return false;
    }
    map->first_colour[COLUMNS] = std::uint32_t(map->colours.size());
    return true;
}

}  // namespace

bool decode_map(const std::uint8_t* data, std::size_t length, decoded_map* map, std::string* reason) {
    begin_decoding(map);
    const column_decoder decoder{map};
    decoder.expect_bytes(length);
    map->summary = walk_vxl_map(data, length, decoder);
    return end_decoding(map, reason);
}

bool read_and_decode_map(const char* path, std::uint64_t max_bytes, vxl_input_image* image, decoded_map* map,
                         std::string* reason) {
    // A regular file's size is known before its first record (expect_bytes);
    // from a pipe, room for two colours a column, about what a generated map
    // holds, and more as the records need it.
    begin_decoding(map);
    map->colours.reserve(2 * COLUMNS);
    map->summary = read_vxl_file_visiting(path, max_bytes, image, column_decoder{map});
    return end_decoding(map, reason);
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
