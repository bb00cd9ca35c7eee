// Little-endian words, the byte order of every file format the tools read and
// write (VXL colour records, .vox and glTF fields): the least significant byte
// first, whatever the processor's own order. The one place that spells it out.
#pragma once

#include <cstdint>
#include <vector>

/// the 32-bit word stored least significant byte first at p[0..3]
inline std::uint32_t get_u32_le(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

/// Appends word to out as 4 bytes, least significant first.
inline void put_u32_le(std::vector<std::uint8_t>& out, std::uint32_t word) {
    out.push_back(static_cast<std::uint8_t>(word & 0xFF));
    out.push_back(static_cast<std::uint8_t>((word >> 8) & 0xFF));
    out.push_back(static_cast<std::uint8_t>((word >> 16) & 0xFF));
    out.push_back(static_cast<std::uint8_t>(word >> 24));
}
