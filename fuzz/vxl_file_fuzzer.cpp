// Feeds arbitrary bytes to the map reader as a file, with or without a limit on
// its size. Reading from a file must judge the bytes exactly as the loader judges
// them in memory (the reader holds only part of the file at a time), and a limit
// must refuse a larger file whatever it holds.
//
// Input: one byte that picks the limit (0: none; else that many times 4 bytes,
// around the sizes of small inputs), then the file's bytes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mapfile/vxl_format.h"
#include "mapfile/vxl_loader.h"

namespace {

/// One file in memory for the whole run, rewritten for every input.
int memory_file() {
    static const int fd = memfd_create("vxl_file_fuzzer", MFD_CLOEXEC);
    if (fd < 0) std::abort();
    return fd;
}

void put_file(int fd, const std::uint8_t* data, std::size_t size) {
    if (ftruncate(fd, 0) != 0) std::abort();
    std::size_t at = 0;
    while (at < size) {
        const ssize_t n = pwrite(fd, data + at, size - at, off_t(at));
        if (n <= 0) std::abort();
        at += std::size_t(n);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint64_t limit = data[0] == 0 ? VXL_ANY_SIZE : std::uint64_t(data[0]) * 4;
    const std::uint8_t* const file = data + 1;
    const std::size_t file_size = size - 1;
    const int fd = memory_file();
    put_file(fd, file, file_size);

    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    vxl_input_image held;
    const vxl_load_result read = read_vxl_file(path.c_str(), limit, &held);
    if (read.read_failed) std::abort();
    if (file_size > limit) {
        if (read.ok || read.placed ||
            read.reason != "file is " + std::to_string(file_size) + " bytes, limit " + std::to_string(limit))
            std::abort();
        return 0;
    }
    const vxl_load_result memory = check_vxl_map(file, file_size);
    if (read.ok != memory.ok || read.reason != memory.reason || read.placed != memory.placed ||
        read.fault.offset != memory.fault.offset || read.fault.record != memory.fault.record)
        std::abort();
    if (read.ok && (read.bytes != file_size || read.trailing_bytes != memory.trailing_bytes ||
                    read.spans != memory.spans || held.length < read.record_bytes))
        std::abort();
    return 0;
}
