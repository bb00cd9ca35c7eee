#include "mapfile/vxl_writer_reference.h"

#include <utility>

#include "volume/volume.h"

namespace {

bool solid(int x, int y, int z) { return solid_map[voxel_index(x, y, z)] != 0; }

void put_span_header(std::vector<std::uint8_t>& out, int span_length, int top_start, int top_end, int air_start) {
    // Each field is stored as its low 8 bits.
    out.push_back(static_cast<std::uint8_t>(span_length));
    out.push_back(static_cast<std::uint8_t>(top_start));
    out.push_back(static_cast<std::uint8_t>(top_end));
    out.push_back(static_cast<std::uint8_t>(air_start));
}

void put_colours(std::vector<std::uint8_t>& out, int x, int y, int from, int to) {
    for (int z = from; z < to; ++z) put_u32_le(out, color_map[voxel_index(x, y, z)]);
}

}  // namespace

int is_exposed(int x, int y, int z) {
    if (!solid(x, y, z)) return 0;
    // Only neighbours inside the volume count: the map's sides, top and bottom
    // are not surfaces by themselves.
    if (x > 0 && !solid(x - 1, y, z)) return 1;
    if (x + 1 < MAP_SIZE && !solid(x + 1, y, z)) return 1;
    if (y > 0 && !solid(x, y - 1, z)) return 1;
    if (y + 1 < MAP_SIZE && !solid(x, y + 1, z)) return 1;
    if (z > 0 && !solid(x, y, z - 1)) return 1;
    if (z + 1 < MAP_DEPTH && !solid(x, y, z + 1)) return 1;
    return 0;
}

void flip_volume() {
    for (std::size_t column = 0; column < COLUMN_COUNT; ++column) {
        std::uint8_t* s = solid_map + column * MAP_DEPTH;
        std::uint32_t* c = color_map + column * MAP_DEPTH;
        for (int z = 0; z < MAP_DEPTH / 2; ++z) {
            std::swap(s[z], s[MAP_DEPTH - 1 - z]);
            std::swap(c[z], c[MAP_DEPTH - 1 - z]);
        }
    }
}

// One span per pass: an air run, a top run of exposed voxels, a stretch of
// hidden solid, then a bottom run of exposed voxels that only a following span's
// air_start can place. is_exposed is asked afresh for every test; a faster encoder
// must produce the same bytes as this one.
void encode_vxl_column(int x, int y, std::vector<std::uint8_t>& out) {
    const int depth = MAP_DEPTH;
    int k = 0;
    while (true) {
        const int air_start = k;
        while (k < depth && !solid(x, y, k)) ++k;
        const int top_start = k;
        // A first span that starts on hidden solid at z = 0 would need top_end = -1,
        // which a byte cannot hold; the voxel at z = 0 opens the top run instead.
        if (k == 0 && solid(x, y, 0) && !is_exposed(x, y, 0)) ++k;
        while (k < depth && solid(x, y, k) && is_exposed(x, y, k)) ++k;
        const int top_stop = k;
        while (k < depth && solid(x, y, k) && !is_exposed(x, y, k)) ++k;
        const int bottom_start = k;
        // Probe: exposed voxels from k that reach the column's bottom cannot be a
        // bottom run (nothing below would place them); the next span's top run
        // takes them.
        int p = k;
        while (p < depth && is_exposed(x, y, p)) ++p;
        const int bottom_stop = p == depth ? k : p;
        const int span_length = bottom_stop == depth ? 0 : (top_stop - top_start) + (bottom_stop - bottom_start) + 1;
        put_span_header(out, span_length, top_start, top_stop - 1, air_start);
        put_colours(out, x, y, top_start, top_stop);
        put_colours(out, x, y, bottom_start, bottom_stop);
        k = bottom_stop;
        if (k >= depth) return;
    }
}

void encode_vxl_map(std::vector<std::uint8_t>& out) {
    // The file lists x fastest; memory holds y fastest.
    for (int y = 0; y < MAP_SIZE; ++y)
        for (int x = 0; x < MAP_SIZE; ++x) encode_vxl_column(x, y, out);
}
