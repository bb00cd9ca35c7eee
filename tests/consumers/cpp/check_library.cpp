// An outside C++ program built against the installed library through its CMake
// package: check_library_{shared,static} [SEED OUT]
// The map of seed 1 through the C++ convenience, its size and CRC-32; with SEED
// and OUT, also the map of SEED with the start regions (-d) written to OUT.
#include <mapgen/mapgen.hpp>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <system_error>

namespace {

// CRC-32 of the ISO 3309 / zlib kind: reflected polynomial 0xEDB88320.
std::uint32_t crc32_of(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        mapgen::generate(1, 2u);
        std::cerr << "check_library: flag 2 was not refused\n";
        return 1;
    } catch (const std::system_error& e) {
        if (e.code() != std::errc::invalid_argument) throw;
    }
    const std::vector<std::uint8_t> map = mapgen::generate(1);
    const std::uint32_t crc = crc32_of(map);
    if (map.size() != 2097536u || crc != 0x6487777Au) {
        std::fprintf(stderr, "check_library: seed 1: %zu bytes, CRC-32 %08X\n", map.size(), unsigned(crc));
        return 1;
    }
    if (argc == 3) {
        const std::vector<std::uint8_t> marked = mapgen::generate(std::atoi(argv[1]), MAPGEN_START_REGIONS);
        std::ofstream out(argv[2], std::ios::binary);
        out.write(reinterpret_cast<const char*>(marked.data()), std::streamsize(marked.size()));
        if (!out.flush()) {
            std::cerr << "check_library: OUT could not be written\n";
            return 1;
        }
    }
    std::printf("check_library: mapgen %s from C++: seed 1 is %zu bytes, CRC-32 %08X\n", mapgen::version(), map.size(),
                unsigned(crc));
    return 0;
}
