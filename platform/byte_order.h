// Little-endian words, the byte order of every file format the tools read and
// write (VXL colour records, .vox and glTF fields): the least significant byte
// first, whatever the processor's own order. The one place that spells it out.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
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

/// Stores w at out[0..3], least significant byte first: one store where that is
/// the processor's own order, byte by byte elsewhere.
inline void store_le32(std::uint8_t* out, std::uint32_t w) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, &w, sizeof w);
    } else {
        for (int i = 0; i < 4; ++i) out[i] = std::uint8_t(w >> (8 * i));
    }
}

/// Stores w at out[0..7], least significant byte first.
inline void store_le64(std::uint8_t* out, std::uint64_t w) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, &w, sizeof w);
    } else {
        for (int i = 0; i < 8; ++i) out[i] = std::uint8_t(w >> (8 * i));
    }
}
