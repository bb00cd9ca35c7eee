// The output floor: what a run of mapgen costs that makes no map at all. It only
// starts, fills a buffer of a typical map file's size (in memory got the way the
// run gets the file's: fresh from the system, in a huge page as far as it fills
// one, mapped at once) and writes it through the same safe file writing. Nothing
// of the voxel volume is linked in. A whole run of mapgen is measured against it
// (bench/compare.sh -f output); no generator that writes its file safely can be
// faster.
//
//   output_floor FILE
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "mapfile/file_buffer.h"
#include "mapfile/safe_write.h"

namespace {

constexpr std::size_t FILE_BYTES = 2097536;  // seed 1's map file, just over 2 MiB

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: output_floor FILE\n");
        return 2;
    }
    const file_buffer file = reserve_file_buffer(FILE_BYTES);
    if (!file) {
        std::fprintf(stderr, "output_floor: cannot write '%s': %s\n", argv[1], std::strerror(ENOMEM));
        return 1;
    }
    ready_file_buffer(file.get(), FILE_BYTES);
    std::memset(file.get(), 0x40, FILE_BYTES);

    std::string reason;
    if (!safe_write_file(argv[1], file.get(), FILE_BYTES, &reason)) {
        std::fprintf(stderr, "output_floor: cannot write '%s': %s\n", argv[1], reason.c_str());
        return 1;
    }
    return 0;
}
