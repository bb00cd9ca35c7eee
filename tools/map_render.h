// Previews of a map as 8-bit RGB pictures. The top view shows each column from
// above; the iso view is an oblique picture of the whole volume, drawn voxel by
// voxel, so that hills, rings, caves' mouths and overhangs stand out as shapes.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/decoded_map.h"

struct rgb_image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // rows top to bottom, 3 bytes per pixel
};

/// 512 x 512: pixel (x, y) is column (x, y) seen from above, in the colour of its
/// topmost solid voxel, lit from the -x, -y side by the height steps to its
/// neighbours (the map wraps, so neighbours wrap too). All-air columns are black.
rgb_image render_top_view(const decoded_map& map);

/// 1024 x 640: the map seen obliquely from above its (511, 511) corner; column
/// (x, y) stands at picture column x - y + 511, row (x + y) / 2, and each voxel
/// is 2 pixels wide and ISO_VOXEL_HEIGHT pixels tall (heights are exaggerated so
/// that gentle relief still reads). Faces facing up, +x and +y are lit apart.
rgb_image render_iso_view(const decoded_map& map);

constexpr int ISO_VOXEL_HEIGHT = 2;

/// The colour the iso view shows where there is no map, and the margin colour of
/// a fitted picture that is not square.
constexpr std::uint8_t PREVIEW_SKY[3] = {0x1c, 0x24, 0x30};

/// Thumbnail sizes and scale factors a caller may ask for.
constexpr int THUMBNAIL_MIN = 16, THUMBNAIL_MAX = 4096;
constexpr int SCALE_MIN = 1, SCALE_MAX = 4;

/// image fitted into a square of size x size pixels (size >= 1): scaled by size over
/// its longer side, every pixel the exact area-weighted average of the part of the
/// picture it covers (rounded to nearest), and centred on background where the
/// shorter side leaves room. A square picture fills the square.
rgb_image fit_square(const rgb_image& image, int size, const std::uint8_t background[3]);

/// image enlarged factor times (factor >= 1), each pixel becoming a factor x factor
/// block. Both views draw whole pixels per voxel, so this is what they would draw
/// with voxels factor times larger.
rgb_image scale_image(const rgb_image& image, int factor);
