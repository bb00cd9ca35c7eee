// A VXL image decoded compactly for inspection: per column its solid and coloured
// voxels as 64-bit masks (bit z = voxel z, file orientation: z = 0 the top layer)
// and the colours of its coloured voxels, about 5 MiB plus 4 bytes per colour
// record instead of the 80 MiB volume. Columns are kept in file order: column
// (x, y) is entry y * 512 + x.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mapfile/vxl_format.h"
#include "mapfile/vxl_loader.h"

struct decoded_map {
    std::vector<std::uint64_t> solid;         // one mask per column
    std::vector<std::uint64_t> coloured;      // one mask per column
    std::vector<std::uint32_t> first_colour;  // per column, index of its first colour; one extra entry at the end
    std::vector<std::uint32_t> colours;       // colour words of all coloured voxels, column by column, in z order
    vxl_load_result summary;                  // what check_vxl_map reports for the image
};

/// entry of column (x, y) in a decoded_map
constexpr std::size_t map_entry(int x, int y) { return vxl_record_number(x, y); }

/// Decodes a whole image, checking it as it goes. Returns false with the loader's
/// reason when it is invalid; the map's summary then says why, and its columns
/// are unspecified.
bool decode_map(const std::uint8_t* data, std::size_t length, decoded_map* map, std::string* reason);

/// read_vxl_file that decodes the records into map as it checks them, in one pass:
/// the same result in map's summary, and when it is ok the map decode_map would
/// give. Returns false with the reason when the file cannot be read or is not a
/// valid map (summary.read_failed tells which); the columns are then unspecified.
bool read_and_decode_map(const char* path, std::uint64_t max_bytes, vxl_input_image* image, decoded_map* map,
                         std::string* reason);

/// Colour word of voxel z of column entry, which must be coloured.
std::uint32_t voxel_colour(const decoded_map& map, std::size_t entry, int z);

/// Colour to show for solid voxel z of column entry: its own when the file gives
/// one, else that of the nearest coloured voxel above it in the column, else the
/// nearest below, else mid grey. The file leaves hidden voxels uncoloured, and
/// views can still show some (the map's outer sides, a solid top layer).
std::uint32_t shown_colour(const decoded_map& map, std::size_t entry, int z);

/// z of the topmost solid voxel of column entry, or 64 when the column is all air.
int top_solid_z(const decoded_map& map, std::size_t entry);
