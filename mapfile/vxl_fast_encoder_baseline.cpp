// The fast encoder's kernel that runs everywhere: a column's mask from SSE2
// compares (plain 64-bit words elsewhere).
#include "mapfile/vxl_fast_encoder_kernels.h"

#include "volume/volume.h"

void read_tops_baseline(std::uint8_t* rows, std::size_t stride) {
    for (int x = 0; x < MAP_SIZE; ++x) {
        std::uint8_t* row = rows + x * stride;
        for (int y = 0; y < MAP_SIZE; ++y) row[y] = top_byte(solid_mask(solid_map + voxel_index(x, y, 0)));
    }
}
