#include "mapfile/vxl_fast_encoder.h"

#include <array>
#include <bit>
#include <cstring>
#include <utility>

#include "mapfile/vxl_format.h"
#include "terrain/volume.h"

namespace {

// A column as a 64-bit mask: bit z stands for the voxel at z (file orientation).
using mask = std::uint64_t;
static_assert(MAP_DEPTH == 64, "one column is one 64-bit mask");

constexpr mask ALL = ~mask{0};
constexpr mask TOP_VOXEL = 1;                 // z = 0
constexpr mask BOTTOM_VOXEL = mask{1} << 63;  // z = 63

// ---- words of memory

std::uint64_t load64(const void* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

void store64(void* p, std::uint64_t w) { std::memcpy(p, &w, sizeof w); }

// the 8 bytes of w in the opposite order
std::uint64_t reverse_bytes(std::uint64_t w) {
#if defined(__GNUC__)
    return __builtin_bswap64(w);
#else
    w = w >> 32 | w << 32;
    w = (w & 0xFFFF0000FFFF0000u) >> 16 | (w & 0x0000FFFF0000FFFFu) << 16;
    return (w & 0xFF00FF00FF00FF00u) >> 8 | (w & 0x00FF00FF00FF00FFu) << 8;
#endif
}

// w as loaded from memory, rearranged so that the byte at the lowest address is
// its lowest byte
std::uint64_t little_endian(std::uint64_t w) {
    if constexpr (std::endian::native == std::endian::big) return reverse_bytes(w);
    return w;
}

// bit i set when byte i of w (counted from its lowest byte) is not 0
unsigned nonzero_bytes(std::uint64_t w) {
    constexpr std::uint64_t LOW7 = 0x7F7F7F7F7F7F7F7Fu;
    // The top bit of each byte becomes "byte is not 0"; no carry crosses a byte,
    // since 0x7F + 0x7F < 0x100.
    const std::uint64_t tops = (((w & LOW7) + LOW7) | w) & ~LOW7;
    // The multiplier moves the top bit of byte i to bit 56 + i; the eight shifted
    // copies land on distinct bits, so nothing carries into the top byte.
    return unsigned(((tops >> 7) * 0x0102040810204080u) >> 56);
}

// solid_map bytes of one column, as they stand, to a mask
mask solid_bits(const std::uint8_t* column) {
    mask m = 0;
    for (int j = 0; j < 8; ++j) m |= mask{nonzero_bytes(little_endian(load64(column + 8 * j)))} << (8 * j);
    return m;
}

// Exchanges z and 63 - z in one column of solid_map; returns the flipped column's mask.
mask flip_solid_column(std::uint8_t* column) {
    std::uint64_t words[8];
    for (int j = 0; j < 8; ++j) words[j] = load64(column + 8 * j);
    mask m = 0;
    for (int j = 0; j < 8; ++j) {
        const std::uint64_t flipped = reverse_bytes(words[7 - j]);
        store64(column + 8 * j, flipped);
        m |= mask{nonzero_bytes(little_endian(flipped))} << (8 * j);
    }
    return m;
}

// Exchanges z and 63 - z in one column of color_map.
void flip_colour_column(std::uint32_t* column) {
    for (int z = 0; z < MAP_DEPTH / 2; ++z) std::swap(column[z], column[MAP_DEPTH - 1 - z]);
}

// ---- spans from masks

// Exposed voxels of a column: solid, and not solid on all six faces. sides is the
// AND of the four side neighbours' masks, all ones for a neighbour beyond the
// map's edge; the layers beyond z = 0 and z = 63 count as solid likewise, since
// the map's outer faces are not surfaces by themselves.
mask exposed_bits(mask solid, mask sides) {
    const mask above = solid << 1 | TOP_VOXEL;     // bit z: voxel z - 1 is solid
    const mask below = solid >> 1 | BOTTOM_VOXEL;  // bit z: voxel z + 1 is solid
    return solid & ~(sides & above & below);
}

// the lowest z >= from whose bit is set in m, or 64
int next_set(mask m, int from) { return from >= MAP_DEPTH ? MAP_DEPTH : std::countr_zero(m & (ALL << from)); }

struct span {
    int air_start, top_start, top_stop, bottom_start, bottom_stop;
};

// Calls emit for each span of the column, top to bottom, with the boundaries the
// plain encoder finds voxel by voxel: each of its scans is one bit scan here.
template <class Emit>
void for_each_span(mask solid, mask exposed, Emit&& emit) {
    const mask hidden = solid & ~exposed;
    int k = 0;
    do {
        span s;
        s.air_start = k;
        s.top_start = next_set(solid, k);
        // A first span that starts on hidden solid at z = 0 would need top_end = -1,
        // which a byte cannot hold; the voxel at z = 0 opens the top run instead.
        const int top_from = s.top_start == 0 && (hidden & TOP_VOXEL) ? 1 : s.top_start;
        s.top_stop = next_set(~exposed, top_from);
        s.bottom_start = next_set(~hidden, s.top_stop);
        // Exposed voxels that reach the bottom cannot be a bottom run (nothing below
        // would place them): the next span's top run takes them.
        const int probe = next_set(~exposed, s.bottom_start);
        s.bottom_stop = probe == MAP_DEPTH ? s.bottom_start : probe;
        emit(s);
        k = s.bottom_stop;
    } while (k < MAP_DEPTH);
}

std::size_t column_bytes(mask solid, mask exposed) {
    std::size_t bytes = 0;
    for_each_span(solid, exposed, [&](const span& s) {
        bytes += VXL_SPAN_HEADER_BYTES + VXL_COLOR_BYTES * std::size_t(s.top_stop - s.top_start + s.bottom_stop - s.bottom_start);
    });
    return bytes;
}

void store_le32(std::uint8_t* out, std::uint32_t word) {
    out[0] = std::uint8_t(word);
    out[1] = std::uint8_t(word >> 8);
    out[2] = std::uint8_t(word >> 16);
    out[3] = std::uint8_t(word >> 24);
}

std::uint8_t* put_colours(std::uint8_t* out, const std::uint32_t* colours, int from, int to) {
    for (int z = from; z < to; ++z, out += VXL_COLOR_BYTES) store_le32(out, colours[z]);
    return out;
}

// Writes the record of one column at out; returns the end of what it wrote.
std::uint8_t* put_column(std::uint8_t* out, mask solid, mask exposed, const std::uint32_t* colours) {
    for_each_span(solid, exposed, [&](const span& s) {
        const int length =
            s.bottom_stop == MAP_DEPTH ? 0 : 1 + (s.top_stop - s.top_start) + (s.bottom_stop - s.bottom_start);
        // Each header field is stored as its low 8 bits.
        out[VXL_SPAN_LENGTH] = std::uint8_t(length);
        out[VXL_TOP_START] = std::uint8_t(s.top_start);
        out[VXL_TOP_END] = std::uint8_t(s.top_stop - 1);
        out[VXL_AIR_START] = std::uint8_t(s.air_start);
        out = put_colours(out + VXL_SPAN_HEADER_BYTES, colours, s.top_start, s.top_stop);
        out = put_colours(out, colours, s.bottom_start, s.bottom_stop);
    });
    return out;
}

// ---- rows of masks

// The masks of one x-row of columns (y = 0..511) at [y + 1], between two guards
// of all ones: a neighbour beyond the map's edge never exposes.
struct mask_row {
    mask at[MAP_SIZE + 2];
};

// Three x-rows at a time: the row being sized or encoded and its two side rows.
struct mask_rows {
    mask_row ring[3];
    mask_row edge;  // the rows beyond x = 0 and x = 511

    mask_rows() {
        for (mask_row& r : ring) r.at[0] = r.at[MAP_SIZE + 1] = ALL;
        for (mask& m : edge.at) m = ALL;
    }
    mask_row& operator[](int x) { return x < 0 || x >= MAP_SIZE ? edge : ring[x % 3]; }
};

// Exposed voxels of column (x, y) whose row is rows[x].
mask exposed_in_row(mask_rows& rows, int x, int y) {
    const mask_row& row = rows[x];
    const mask sides = rows[x - 1].at[y + 1] & rows[x + 1].at[y + 1] & row.at[y] & row.at[y + 2];
    return exposed_bits(row.at[y + 1], sides);
}

}  // namespace

// Two walks in memory order (x slowest, then y). The file lists x fastest, so a
// column's record lands far from its memory neighbours' records; the first walk
// therefore only measures every record (and flips solid_map, reading each column
// once), which fixes where each file row starts. The second walk rebuilds the
// masks from the flipped solid_map, flips each colour column and writes its record
// at once, while those 256 bytes are still in the cache. Colours are thus read and
// written once, as the flip alone would; the price is a second read of solid_map.
// Keeping all masks instead (2 MiB) would save that read but not fit the memory
// the run may take.
vxl_file_image flip_and_encode_vxl_map() {
    mask_rows rows;
    std::array<std::size_t, MAP_SIZE> row_bytes{};  // per file row: all columns of one y

    for (int x = 0; x <= MAP_SIZE; ++x) {
        if (x < MAP_SIZE) {
            mask_row& row = rows[x];
            for (int y = 0; y < MAP_SIZE; ++y) row.at[y + 1] = flip_solid_column(solid_map + voxel_index(x, y, 0));
        }
        if (x > 0)  // the row before is complete, with both its side rows
            for (int y = 0; y < MAP_SIZE; ++y)
                row_bytes[y] += column_bytes(rows[x - 1].at[y + 1], exposed_in_row(rows, x - 1, y));
    }

    std::array<std::size_t, MAP_SIZE> at;  // where the next record of each file row goes
    std::size_t total = 0;
    for (int y = 0; y < MAP_SIZE; ++y) {
        at[y] = total;
        total += row_bytes[y];
    }
    vxl_file_image image{std::unique_ptr<std::uint8_t[]>(new std::uint8_t[total]), total};

    for (int x = 0; x <= MAP_SIZE; ++x) {
        if (x < MAP_SIZE) {
            mask_row& row = rows[x];
            for (int y = 0; y < MAP_SIZE; ++y) row.at[y + 1] = solid_bits(solid_map + voxel_index(x, y, 0));
        }
        if (x > 0)
            for (int y = 0; y < MAP_SIZE; ++y) {
                std::uint32_t* colours = color_map + voxel_index(x - 1, y, 0);
                flip_colour_column(colours);
                std::uint8_t* end = put_column(image.bytes.get() + at[y], rows[x - 1].at[y + 1],
                                               exposed_in_row(rows, x - 1, y), colours);
                at[y] = std::size_t(end - image.bytes.get());
            }
    }
    return image;
}

void encode_vxl_column_fast(int x, int y, std::vector<std::uint8_t>& out) {
    auto column_mask = [](int cx, int cy) {
        if (cx < 0 || cx >= MAP_SIZE || cy < 0 || cy >= MAP_SIZE) return ALL;
        return solid_bits(solid_map + voxel_index(cx, cy, 0));
    };
    const mask solid = column_mask(x, y);
    const mask sides = column_mask(x - 1, y) & column_mask(x + 1, y) & column_mask(x, y - 1) & column_mask(x, y + 1);
    const std::size_t start = out.size();
    out.resize(start + VXL_MAX_COLUMN_BYTES);
    std::uint8_t* end = put_column(out.data() + start, solid, exposed_bits(solid, sides), color_map + voxel_index(x, y, 0));
    out.resize(std::size_t(end - out.data()));
}

void flip_volume_fast() {
    for (std::size_t column = 0; column < COLUMN_COUNT; ++column) {
        flip_solid_column(solid_map + column * MAP_DEPTH);
        flip_colour_column(color_map + column * MAP_DEPTH);
    }
}
