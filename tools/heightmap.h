// A map's top surface as two pictures that image editors open: a heightmap (grey
// level = surface height) and a colour map (each column's top colour), both
// 512 x 512 with pixel (x, y) for column (x, y): x to the right, y down, (0, 0)
// top left, as `vxltool render` shows the map from above.
//
// Surface height is the generator's column height: how many voxels the topmost
// solid voxel of a column stands above the bottom layer, 0 to 63. Grey runs over
// the whole 8-bit range, grey = round(h * 255 / 63): black is bare bottom layer,
// white a column solid to the top. Reading takes the nearest height, so
// h = round(grey * 63 / 255) (16-bit pictures likewise on 0..65535), and every
// grey an editor can make means a height. A column with no solid voxel is a
// transparent pixel (alpha below one half); export adds the alpha channel only
// when the map has such columns.
//
// Import builds ground columns as the generator does: solid from the surface
// down to the bottom layer, all 64 voxels in the column's colour. So for a map
// the generator made, export then import gives back the same file, byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/decoded_map.h"

/// Colour of every column imported without a colour map: the generator's plain
/// ground colour (red 144, green 160, blue 104).
constexpr std::uint32_t HEIGHTMAP_DEFAULT_COLOUR = 0x8090A068;
/// Top byte of every imported colour word, as the generator writes it.
constexpr std::uint32_t IMPORTED_TOP_BYTE = 0x80000000;

/// Per column, in picture order (entry y * 512 + x, which is map_entry(x, y)).
struct surface_maps {
    std::vector<int> height;           // surface height 0..63, or -1 for a column with no solid voxel
    std::vector<std::uint32_t> colour;  // 0xRRGGBB of the top voxel as shown; 0 for a column of air
};

/// What a surface leaves out of the map it came from.
struct surface_losses {
    std::size_t cave_columns = 0;         // air below the surface (caves, overhangs, floating voxels)
    std::size_t multicolour_columns = 0;  // coloured voxels of more than one colour word
    std::size_t other_top_bytes = 0;      // top colours whose top byte is not 0x80
};

/// The top surface of a map; *losses says what it leaves out.
surface_maps surface_of_map(const decoded_map& map, surface_losses* losses);

/// Grey level of surface height h (0..63).
std::uint8_t height_to_grey(int h);
/// Surface height of a 16-bit grey level (an 8-bit level g reads as g * 257).
int grey16_to_height(std::uint16_t grey);

/// The heightmap as a PNG: 8-bit grey, with alpha when some column is air.
bool encode_heightmap(const surface_maps& surface, std::vector<std::uint8_t>* png, std::string* reason);
/// The colour map as an 8-bit RGB PNG.
bool encode_colour_map(const surface_maps& surface, std::vector<std::uint8_t>* png, std::string* reason);

/// Reads a 512 x 512 heightmap PNG of any type into surface->height. A colour
/// picture is read as its luminance, and *had_colour tells when a pixel was not
/// grey. Returns false with a one-line reason.
bool decode_heightmap(const std::uint8_t* data, std::size_t length, surface_maps* surface, bool* had_colour,
                      std::string* reason);
/// Reads a 512 x 512 colour map PNG of any type into surface->colour; alpha is
/// ignored. Returns false with a one-line reason.
bool decode_colour_map(const std::uint8_t* data, std::size_t length, surface_maps* surface, std::string* reason);

/// Fills the volume (generator orientation, z = 0 lowest) with ground columns of
/// surface->height, every voxel of column (x, y) in colour 0x80RRGGBB from
/// surface->colour, or HEIGHTMAP_DEFAULT_COLOUR when surface->colour is empty.
/// Every voxel of the volume is written.
void build_ground_volume(const surface_maps& surface);
