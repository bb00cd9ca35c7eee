#include "mapfile/vxl_fast_encoder.h"

#include <array>
#include <bit>

#include "mapfile/column_bits.h"
#include "mapfile/vxl_format.h"
#include "terrain/volume.h"

namespace {

using mask = column_mask;
static_assert(MAP_DEPTH == 64, "one column is one 64-bit mask");

constexpr mask ALL = ~mask{0};
constexpr mask TOP_VOXEL = 1;                 // z = 0
constexpr mask BOTTOM_VOXEL = mask{1} << 63;  // z = 63

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

// A column of ground: air down to its top voxel, solid from there to the bottom,
// and its exposed voxels one run from the top voxel down (or no solid at all).
// Every column the generator makes is one, and its record is a single last span:
// 0, top, top + run - 1, 0, then the run's colours. Sets top and run.
bool is_ground(mask solid, mask exposed, int& top, int& run) {
    top = std::countr_zero(solid);
    if (top == MAP_DEPTH) {  // all air: top_start 64, an empty run
        run = 0;
        return true;
    }
    // top == 0 is the hidden-voxel case at z = 0, left to the general walk.
    if (top == 0 || solid != ALL << top) return false;
    const mask below_top = exposed >> top;
    run = std::countr_one(below_top);
    return below_top >> run == 0;
}

// Record size of any column, span by span; kept out of line so that the loops
// around the common case stay small.
[[gnu::noinline]] std::size_t span_bytes(mask solid, mask exposed) {
    std::size_t bytes = 0;
    for_each_span(solid, exposed, [&](const span& s) {
        bytes += VXL_SPAN_HEADER_BYTES + VXL_COLOR_BYTES * std::size_t(s.top_stop - s.top_start + s.bottom_stop - s.bottom_start);
    });
    return bytes;
}

std::size_t column_bytes(mask solid, mask exposed) {
    int top, run;
    if (is_ground(solid, exposed, top, run)) return VXL_SPAN_HEADER_BYTES + VXL_COLOR_BYTES * std::size_t(run);
    return span_bytes(solid, exposed);
}

void store_le32(std::uint8_t* out, std::uint32_t word) {
    out[0] = std::uint8_t(word);
    out[1] = std::uint8_t(word >> 8);
    out[2] = std::uint8_t(word >> 16);
    out[3] = std::uint8_t(word >> 24);
}

// The header's four bytes as one word, span_length lowest. Each field is stored
// as its low 8 bits.
std::uint32_t span_header(int span_length, int top_start, int top_end, int air_start) {
    return std::uint32_t(span_length & 0xFF) | std::uint32_t(top_start & 0xFF) << 8 | std::uint32_t(top_end & 0xFF) << 16 |
           std::uint32_t(air_start & 0xFF) << 24;
}

std::uint8_t* put_colours(std::uint8_t* out, const std::uint32_t* colours, int from, int to) {
    for (int z = from; z < to; ++z, out += VXL_COLOR_BYTES) store_le32(out, colours[z]);
    return out;
}

// Writes the record of any column at out, span by span; returns its end.
[[gnu::noinline]] std::uint8_t* put_spans(std::uint8_t* out, mask solid, mask exposed, const std::uint32_t* colours) {
    for_each_span(solid, exposed, [&](const span& s) {
        const int length =
            s.bottom_stop == MAP_DEPTH ? 0 : 1 + (s.top_stop - s.top_start) + (s.bottom_stop - s.bottom_start);
        store_le32(out, span_header(length, s.top_start, s.top_stop - 1, s.air_start));
        out = put_colours(out + VXL_SPAN_HEADER_BYTES, colours, s.top_start, s.top_stop);
        out = put_colours(out, colours, s.bottom_start, s.bottom_stop);
    });
    return out;
}

// Writes the record of one column at out; returns the end of what it wrote.
std::uint8_t* put_column(std::uint8_t* out, mask solid, mask exposed, const std::uint32_t* colours) {
    int top, run;
    if (!is_ground(solid, exposed, top, run)) return put_spans(out, solid, exposed, colours);
    store_le32(out, span_header(0, top, top + run - 1, 0));
    return put_colours(out + VXL_SPAN_HEADER_BYTES, colours, top, top + run);
}

// ---- rows of masks

// The masks of one x-row of columns (y = 0..511) at [y + 1], between two guards
// of all ones: a neighbour beyond the map's edge never exposes.
struct mask_row {
    mask at[MAP_SIZE + 2];
};

// Three x-rows at a time: the row being sized or encoded and its two side rows,
// and the exposed voxels of the middle one.
struct mask_rows {
    mask_row ring[3];
    mask_row edge;  // the rows beyond x = 0 and x = 511
    mask exposed[MAP_SIZE];

    mask_rows() {
        for (mask_row& r : ring) r.at[0] = r.at[MAP_SIZE + 1] = ALL;
        for (mask& m : edge.at) m = ALL;
    }
    mask_row& operator[](int x) { return x < 0 || x >= MAP_SIZE ? edge : ring[x % 3]; }

    // Fills exposed with the exposed voxels of the columns of x-row x, once the rows
    // on both sides of it are in.
    void expose_row(int x) {
        const mask* before = (*this)[x - 1].at + 1;
        const mask* row = (*this)[x].at + 1;
        const mask* after = (*this)[x + 1].at + 1;
        for (int y = 0; y < MAP_SIZE; ++y)
            exposed[y] = exposed_bits(row[y], before[y] & after[y] & row[y - 1] & row[y + 1]);
    }
};

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
    // Room for the largest file first, as address space only: if even that is
    // refused, the volume is left as it was.
    vxl_file_image image{reserve_file_buffer(COLUMN_COUNT * VXL_MAX_COLUMN_BYTES), 0};
    if (!image.bytes) return image;

    mask_rows rows;
    std::array<std::size_t, MAP_SIZE> row_bytes{};  // per file row: all columns of one y

    // An x-row is measured once the row after it is in: at step x, row x - 1.
    for (int x = 0; x <= MAP_SIZE; ++x) {
        if (x < MAP_SIZE) {
            mask* row = rows[x].at + 1;
            for (int y = 0; y < MAP_SIZE; ++y) row[y] = flip_solid_column(solid_map + voxel_index(x, y, 0));
        }
        if (x == 0) continue;
        rows.expose_row(x - 1);
        const mask* solid = rows[x - 1].at + 1;
        for (int y = 0; y < MAP_SIZE; ++y) row_bytes[y] += column_bytes(solid[y], rows.exposed[y]);
    }

    std::array<std::size_t, MAP_SIZE> at;  // where the next record of each file row goes
    std::size_t total = 0;
    for (int y = 0; y < MAP_SIZE; ++y) {
        at[y] = total;
        total += row_bytes[y];
    }
    image.size = total;
    std::uint8_t* const file = image.bytes.get();
    ready_file_buffer(file, total);

    for (int x = 0; x <= MAP_SIZE; ++x) {
        if (x < MAP_SIZE) {
            mask* row = rows[x].at + 1;
            for (int y = 0; y < MAP_SIZE; ++y) row[y] = solid_mask(solid_map + voxel_index(x, y, 0));
        }
        if (x == 0) continue;
        rows.expose_row(x - 1);
        const mask* solid = rows[x - 1].at + 1;
        for (int y = 0; y < MAP_SIZE; ++y) {
            std::uint32_t* colours = color_map + voxel_index(x - 1, y, 0);
            // Flipped, a column of one colour (every generated column) reads the same:
            // checking costs a read that the flip does anyway, and saves writing its
            // 256 bytes back.
            if (!is_one_colour(colours)) flip_colour_column(colours);
            at[y] = std::size_t(put_column(file + at[y], solid[y], rows.exposed[y], colours) - file);
        }
    }
    return image;
}

void encode_vxl_column_fast(int x, int y, std::vector<std::uint8_t>& out) {
    auto mask_at = [](int cx, int cy) {
        if (cx < 0 || cx >= MAP_SIZE || cy < 0 || cy >= MAP_SIZE) return ALL;  // beyond the edge
        return solid_mask(solid_map + voxel_index(cx, cy, 0));
    };
    const mask solid = mask_at(x, y);
    const mask sides = mask_at(x - 1, y) & mask_at(x + 1, y) & mask_at(x, y - 1) & mask_at(x, y + 1);
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
