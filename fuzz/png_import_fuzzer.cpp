// Feeds arbitrary bytes to the heightmap and colour map readers, as PNG files
// from strangers reach `vxltool import`. libpng refuses a chunk whose CRC-32 does
// not match, so nearly every mutation would end right there: after reading the
// bytes as they came, the target writes each whole chunk's CRC as it should be
// and reads them again, so that mutated headers, palettes, transparency and
// compressed rows reach libpng's checks and the readers' own. Under the
// sanitizers any read or write outside a buffer ends the run; on top of that the
// readers' promises are checked: a refused picture says why, and an accepted one
// gives every one of the 512 x 512 columns a surface height of 0 to 63 (or -1,
// air) or a 24-bit colour.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/heightmap.h"

namespace {

constexpr std::size_t COLUMNS = 512 * 512;
constexpr std::size_t SIGNATURE_BYTES = 8;

std::uint32_t read_be32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// Rewrites the CRC of every chunk that lies whole inside the bytes; returns
// whether any changed.
bool mend_chunk_crcs(std::vector<std::uint8_t>& bytes) {
    bool changed = false;
    std::size_t at = SIGNATURE_BYTES;
    while (bytes.size() - at >= 12) {  // at never passes the end
        const std::size_t length = read_be32(&bytes[at]);
        if (length > bytes.size() - at - 12) break;
        // The CRC covers the chunk's type and data.
        const auto crc = std::uint32_t(crc32(0, &bytes[at + 4], static_cast<uInt>(length + 4)));
        std::uint8_t* stored = &bytes[at + 8 + length];
        for (int i = 0; i < 4; ++i) {
            const auto byte = std::uint8_t(crc >> (24 - 8 * i));
            changed |= stored[i] != byte;
            stored[i] = byte;
        }
        at += 12 + length;
    }
    return changed;
}

void read_both_ways(const std::uint8_t* data, std::size_t size) {
    std::string reason;
    surface_maps surface;
    bool had_colour = false;
    if (decode_heightmap(data, size, &surface, &had_colour, &reason)) {
        if (surface.height.size() != COLUMNS) std::abort();
        for (const int h : surface.height)
            if (h < -1 || h > 63) std::abort();
    } else if (reason.empty()) {
        std::abort();
    }
    reason.clear();
    if (decode_colour_map(data, size, &surface, &reason)) {
        if (surface.colour.size() != COLUMNS) std::abort();
        for (const std::uint32_t c : surface.colour)
            if (c > 0xFFFFFF) std::abort();
    } else if (reason.empty()) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    read_both_ways(data, size);
    if (size < SIGNATURE_BYTES) return 0;
    std::vector<std::uint8_t> mended(data, data + size);
    if (mend_chunk_crcs(mended)) read_both_ways(mended.data(), mended.size());
    return 0;
}
