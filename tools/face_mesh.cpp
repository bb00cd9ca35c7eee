#include "tools/face_mesh.h"

#include <algorithm>

#include "mapfile/vxl_format.h"

namespace {

constexpr int SIZE = VXL_MAP_SIZE;
constexpr int DEPTH = VXL_COLUMN_DEPTH;
/// A cell of a slice with no face; a face is 0x01000000 | rgb, or COLUMN_FACE.
constexpr std::uint32_t NO_FACE = 0;
constexpr std::uint32_t FACE = 0x01000000;
constexpr std::uint32_t COLUMN_FACE = 0x02000000;

bool is_solid(const decoded_map& map, int x, int y, int h) {
    if (x < 0 || y < 0 || h < 0 || x >= SIZE || y >= SIZE || h >= DEPTH) return false;
    return map.solid[map_entry(x, y)] >> (DEPTH - 1 - h) & 1;
}

std::uint32_t face_key(const decoded_map& map, const std::vector<std::uint32_t>& tops, int x, int y, int h) {
    const std::uint32_t rgb = shown_colour(map, map_entry(x, y), DEPTH - 1 - h) & 0xFFFFFF;
    return rgb == tops[map_entry(x, y)] ? COLUMN_FACE : FACE | rgb;
}

/// Merges the faces of one slice (width x height cells, keys row by row; the
/// slice is cleared) into quads.
void merge_slice(std::vector<std::uint32_t>& cells, int width, int height, face_axis axis, bool positive, int plane,
                 face_mesh* mesh) {
    for (int v = 0; v < height; ++v)
        for (int u = 0; u < width; ++u) {
            const std::uint32_t key = cells[std::size_t(v) * std::size_t(width) + std::size_t(u)];
            if (key == NO_FACE) continue;
            int w = 1;
            while (u + w < width && cells[std::size_t(v) * std::size_t(width) + std::size_t(u + w)] == key) ++w;
            int h = 1;
            for (; v + h < height; ++h) {
                const std::uint32_t* row = &cells[std::size_t(v + h) * std::size_t(width) + std::size_t(u)];
                if (!std::all_of(row, row + w, [key](std::uint32_t k) { return k == key; })) break;
            }
            for (int dv = 0; dv < h; ++dv)
                std::fill_n(&cells[std::size_t(v + dv) * std::size_t(width) + std::size_t(u)], w, NO_FACE);
            const bool by_column = key == COLUMN_FACE;
            mesh->quads.push_back(face_quad{axis, positive, std::int16_t(plane), std::int16_t(u), std::int16_t(v),
                                           std::int16_t(u + w), std::int16_t(v + h), by_column,
                                           by_column ? 0 : key & 0xFFFFFF});
        }
}

}  // namespace

std::vector<std::uint32_t> column_top_colours(const decoded_map& map) {
    std::vector<std::uint32_t> tops(map.solid.size(), 0);
    for (std::size_t entry = 0; entry < tops.size(); ++entry) {
        const int top = top_solid_z(map, entry);
        if (top < DEPTH) tops[entry] = shown_colour(map, entry, top) & 0xFFFFFF;
    }
    return tops;
}

face_mesh mesh_map_faces(const decoded_map& map) {
    face_mesh mesh;
    const std::vector<std::uint32_t> tops = column_top_colours(map);
    std::vector<std::uint32_t> cells;
    for (const bool positive : {false, true}) {
        const int step = positive ? 1 : -1;
        // Faces across height: slices of x (u) by y (v).
        cells.assign(std::size_t{SIZE} * SIZE, NO_FACE);
        for (int h = 0; h < DEPTH; ++h) {
            for (int y = 0; y < SIZE; ++y)
                for (int x = 0; x < SIZE; ++x) {
                    if (!is_solid(map, x, y, h) || is_solid(map, x, y, h + step)) continue;
                    ++mesh.faces;
                    cells[std::size_t(y) * SIZE + std::size_t(x)] = face_key(map, tops, x, y, h);
                }
            merge_slice(cells, SIZE, SIZE, AXIS_H, positive, positive ? h + 1 : h, &mesh);
        }
        // Faces across x: slices of y (u) by h (v).
        cells.assign(std::size_t{SIZE} * DEPTH, NO_FACE);
        for (int x = 0; x < SIZE; ++x) {
            for (int h = 0; h < DEPTH; ++h)
                for (int y = 0; y < SIZE; ++y)
                    if (is_solid(map, x, y, h) && !is_solid(map, x + step, y, h)) {
                        ++mesh.faces;
                        cells[std::size_t(h) * SIZE + std::size_t(y)] = face_key(map, tops, x, y, h);
                    }
            merge_slice(cells, SIZE, DEPTH, AXIS_X, positive, positive ? x + 1 : x, &mesh);
        }
        // Faces across y: slices of x (u) by h (v).
        for (int y = 0; y < SIZE; ++y) {
            for (int h = 0; h < DEPTH; ++h)
                for (int x = 0; x < SIZE; ++x)
                    if (is_solid(map, x, y, h) && !is_solid(map, x, y + step, h)) {
                        ++mesh.faces;
                        cells[std::size_t(h) * SIZE + std::size_t(x)] = face_key(map, tops, x, y, h);
                    }
            merge_slice(cells, SIZE, DEPTH, AXIS_Y, positive, positive ? y + 1 : y, &mesh);
        }
    }
    return mesh;
}
