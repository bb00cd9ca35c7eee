// One column of the volume as a 64-bit mask, and the column flip that produces it
// on the way. Bit z of a mask stands for the voxel at z of the column as it
// stands in memory; a voxel is solid when its solid_map byte is not 0.
//
// Each operation comes twice: with SSE2, which every x86-64 processor has, and in
// plain 64-bit words for other processors. Both give the same results; the
// encoder uses the first one the build allows.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using column_mask = std::uint64_t;

// ---- plain 64-bit words

/// the 8 bytes of w in the opposite order
inline std::uint64_t reverse_bytes(std::uint64_t w) {
#if defined(__GNUC__)
    return __builtin_bswap64(w);
#else
    w = w >> 32 | w << 32;
    w = (w & 0xFFFF0000FFFF0000u) >> 16 | (w & 0x0000FFFF0000FFFFu) << 16;
    return (w & 0xFF00FF00FF00FF00u) >> 8 | (w & 0x00FF00FF00FF00FFu) << 8;
#endif
}

/// the 64 bits of w in the opposite order
inline std::uint64_t reverse_bits(std::uint64_t w) {
    w = reverse_bytes(w);
    w = (w & 0xF0F0F0F0F0F0F0F0u) >> 4 | (w & 0x0F0F0F0F0F0F0F0Fu) << 4;
    w = (w & 0xCCCCCCCCCCCCCCCCu) >> 2 | (w & 0x3333333333333333u) << 2;
    return (w & 0xAAAAAAAAAAAAAAAAu) >> 1 | (w & 0x5555555555555555u) << 1;
}

/// the 8 bytes at p, the byte at the lowest address lowest
inline std::uint64_t load_le64(const std::uint8_t* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    if constexpr (std::endian::native == std::endian::big) w = reverse_bytes(w);
    return w;
}

/// bit i set when byte i of w (counted from its lowest byte) is not 0
inline unsigned nonzero_bytes(std::uint64_t w) {
    constexpr std::uint64_t LOW7 = 0x7F7F7F7F7F7F7F7Fu;
    // The top bit of each byte becomes "byte is not 0"; no carry crosses a byte,
    // since 0x7F + 0x7F < 0x100.
    const std::uint64_t tops = (((w & LOW7) + LOW7) | w) & ~LOW7;
    // The multiplier moves the top bit of byte i to bit 56 + i; its eight shifted
    // copies land on distinct bits, so nothing carries into the top byte.
    return unsigned(((tops >> 7) * 0x0102040810204080u) >> 56);
}

/// mask of the 64 solid_map bytes at column
inline column_mask solid_mask_words(const std::uint8_t* column) {
    column_mask m = 0;
    for (int j = 0; j < 8; ++j) m |= column_mask{nonzero_bytes(load_le64(column + 8 * j))} << (8 * j);
    return m;
}

/// Exchanges byte z and byte 63 - z of the 64 solid_map bytes at column; returns
/// the mask of the flipped column.
inline column_mask flip_solid_column_words(std::uint8_t* column) {
    std::uint64_t words[8];
    std::memcpy(words, column, sizeof words);
    for (int j = 0; j < 8; ++j) {
        const std::uint64_t flipped = reverse_bytes(words[7 - j]);
        std::memcpy(column + 8 * j, &flipped, sizeof flipped);
    }
    return solid_mask_words(column);
}

// ---- SSE2

#if defined(__SSE2__)
/// mask of the 64 solid_map bytes at column
inline column_mask solid_mask_sse2(const std::uint8_t* column) {
    const __m128i zero = _mm_setzero_si128();
    column_mask air = 0;
    for (int j = 0; j < 4; ++j) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(column + 16 * j));
        air |= column_mask(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, zero)))) << (16 * j);
    }
    return ~air;
}

/// the 16 bytes of v in the opposite order (SSE2 has no byte shuffle: dwords,
/// then the words in each dword, then the bytes in each word)
inline __m128i reverse_bytes_sse2(__m128i v) {
    v = _mm_shuffle_epi32(v, 0x1B);
    v = _mm_shufflelo_epi16(v, 0xB1);
    v = _mm_shufflehi_epi16(v, 0xB1);
    return _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
}

/// as flip_solid_column_words
inline column_mask flip_solid_column_sse2(std::uint8_t* column) {
    __m128i* p = reinterpret_cast<__m128i*>(column);
    __m128i flipped[4];
    for (int j = 0; j < 4; ++j) flipped[j] = reverse_bytes_sse2(_mm_loadu_si128(p + 3 - j));
    const __m128i zero = _mm_setzero_si128();
    column_mask air = 0;
    for (int j = 0; j < 4; ++j) {
        _mm_storeu_si128(p + j, flipped[j]);
        air |= column_mask(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(flipped[j], zero)))) << (16 * j);
    }
    return ~air;
}
#endif

// ---- the ones to use

#if defined(__SSE2__)
inline column_mask solid_mask(const std::uint8_t* column) { return solid_mask_sse2(column); }
inline column_mask flip_solid_column(std::uint8_t* column) { return flip_solid_column_sse2(column); }
#else
inline column_mask solid_mask(const std::uint8_t* column) { return solid_mask_words(column); }
inline column_mask flip_solid_column(std::uint8_t* column) { return flip_solid_column_words(column); }
#endif

/// Exchanges word z and word 63 - z of the 64 color_map words at column.
inline void flip_colour_column(std::uint32_t* column) {
    for (int z = 0; z < 32; ++z) {
        const std::uint32_t t = column[z];
        column[z] = column[63 - z];
        column[63 - z] = t;
    }
}
