// The floor: the memory work that every run of mapgen has to do, and nothing
// else. It writes every byte of solid_map and color_map once (the same arrays in
// the same mapping, so huge pages apply alike), flips both in z once, and writes a
// file of a typical map's size through the same safe file writing, straight from
// the volume's memory. A whole run of mapgen is measured against it
// (bench/compare.sh); no generator can be faster.
//
//   floor FILE
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "mapfile/safe_write.h"
#include "mapfile/vxl_fast_encoder_reference.h"
#include "volume/volume.h"

namespace {

constexpr std::size_t FILE_BYTES = 2097536;  // a map file of the usual size, just over 2 MiB

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: floor FILE\n");
        return 2;
    }
    // The arrays' first touch: a fault per page (per 2 MiB with huge pages), and
    // the kernel clears each page before it is written.
    std::memset(solid_map, 1, VOXEL_COUNT);
    std::fill_n(color_map, VOXEL_COUNT, 0x80336699u);
    flip_volume_fast();

    // The file's bytes need no memory of their own: mapgen builds its file in
    // memory it has already touched, and so the floor writes it from the volume.
    std::string reason;
    if (!safe_write_file(argv[1], solid_map, FILE_BYTES, &reason)) {
        std::fprintf(stderr, "floor: cannot write '%s': %s\n", argv[1], reason.c_str());
        return 1;
    }
    return 0;
}
