// The fast noise fill: its shared set-up, and the choice of kernel for each path.
//
// Why the repetition is exact: with a power-of-two period p <= 256 the step
// p / 512 and every sample coordinate i * p / 512 are exact in float, so sample
// c * s + t (s = 512 / p samples per cell) lies in cell c at offset t / s, whatever
// c is. Its offsets, far offsets and fade weights are therefore those of sample t,
// computed here once with the very expressions gradient_noise uses. A corner
// contribution float((dy * gy + dz * gz) + dx * gx) then depends only on the
// corner's gradient record (12 of them) and on the offsets, so it is tabulated per
// record. The x blend of two such contributions, float(lerp(c0, c1, u)), likewise
// depends only on the two records (144 pairs) and the offsets, so it is tabulated
// per pair of records; only the y and z blends and the mapping remain per sample,
// and each kernel does them with the same operations, in the same order, as
// gradient_noise.
#include "numerics/noise_fill.h"

#include <bit>
#include <cmath>
#include <vector>

#include "numerics/noise.h"
#include "numerics/noise_fill_kernels.h"
#include "numerics/noise_fill_plain.h"
#include "platform/target_attributes.h"

namespace {

constexpr int MAX_LANES = NOISE_TABLE_LANES;

bool is_covered_period(std::int32_t period) {
    return period >= 8 && period <= 256 && (period & (period - 1)) == 0;
}

// Offsets and fade weight of sample t within its cell along one axis, as doubles
// holding the floats that gradient_noise computes for them.
struct axis_offsets {
    double near[MAX_LANES];
    double far[MAX_LANES];
    double fade[MAX_LANES];
};

void compute_axis_offsets(axis_offsets& axis, float step, int cell_width) {
    for (int t = 0; t < cell_width; ++t) {
        const float coordinate = static_cast<float>(t * static_cast<double>(step));
        const auto cell = static_cast<std::int32_t>(std::floor(static_cast<double>(coordinate)));
        const float near = static_cast<float>(static_cast<double>(coordinate) - cell);
        const float far = static_cast<float>(static_cast<double>(near) - 1);
        axis.near[t] = near;
        axis.far[t] = far;
        axis.fade[t] = fade(near);
    }
}

// Everything of z, which is the same for the whole field (its axis is unwrapped).
struct height_plane {
    double near, far, fade;
    // record_at[k][i]: gradient record of the corner on z plane k whose row hash
    // is P[i], that is of hash P[P[i] + Z_k]. The lattice point on x plane X and
    // y plane Y has the row hash P[P[X] + Y], so the records of x plane X along y
    // are the run that starts at record_at[k] + P[X]: the bands look nothing up.
    std::uint8_t record_at[2][512];
};

void compute_height_plane(height_plane& h, float z) {
    const auto cell = static_cast<std::int32_t>(std::floor(static_cast<double>(z)));
    const float near = static_cast<float>(static_cast<double>(z) - cell);
    const float far = static_cast<float>(static_cast<double>(near) - 1);
    h.near = near;
    h.far = far;
    h.fade = fade(near);
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 512; ++i)
            h.record_at[k][i] = std::uint8_t(gradient_select[noise_permutation[noise_permutation[i] + cell + k] & 63]);
}

// Edge table offsets of the x cell between x planes X and X1. Entry `cells`
// repeats entry 0, as (cells - 1) + 1 wraps. lanes is 1 << lanes_shift: a shift,
// where a multiplication by a number unknown to the compiler has no vector
// instruction in the x86-64 baseline, and these run a few hundred thousand times
// a map.
void compute_edge_pairs(std::int32_t out[2][257], const height_plane& h, int X, int X1, int cells, int lanes_shift) {
    for (int k = 0; k < 2; ++k) {
        const std::uint8_t* near = h.record_at[k] + noise_permutation[X];
        const std::uint8_t* far = h.record_at[k] + noise_permutation[X1];
        for (int Y = 0; Y < cells; ++Y) out[k][Y] = (near[Y] * GRADIENT_RECORDS + far[Y]) << lanes_shift;
        out[k][cells] = out[k][0];
    }
}

// The corner tables of a band whose first row has offset index first_tx along x:
// lane l sits at x offset first_tx + l / cell_width and y offset l % cell_width.
// Each entry is gradient_dot of the record at the lane's offsets, rounded to float.
void compute_corner_tables(double* table, const axis_offsets& ax, const axis_offsets& ay, const height_plane& h,
                           int first_tx, int lanes, int cell_width) {
    for (int corner = 0; corner < 8; ++corner) {
        const int i = corner >> 2, j = (corner >> 1) & 1, k = corner & 1;
        const double dz = k ? h.far : h.near;
        const double* dys = j ? ay.far : ay.near;
        for (int r = 0; r < GRADIENT_RECORDS; ++r) {
            const float* g = gradient_vectors[r];
            double* out = table + (corner * GRADIENT_RECORDS + r) * lanes;
            for (int row = 0; row * cell_width < lanes; ++row, out += cell_width) {
                const double dx = i ? ax.far[first_tx + row] : ax.near[first_tx + row];
                for (int ty = 0; ty < cell_width; ++ty)
                    out[ty] = static_cast<float>((dys[ty] * g[1] + dz * g[2]) + dx * g[0]);
            }
        }
    }
}

// The 12 rows of an edge table on the widest kernel that path and lanes allow.
void blend_edge_rows(vector_path path, double* out, const double* c0, const double* far, const double* u, int lanes) {
#if MAPGEN_HAS_X86_KERNELS
    if (path == vector_path::avx512 && lanes % 8 == 0) {
        blend_edge_rows_avx512(out, c0, far, u, lanes);
        return;
    }
    if (path != vector_path::baseline && lanes % 4 == 0) {  // the AVX-512 path has AVX2 too
        blend_edge_rows_avx2(out, c0, far, u, lanes);
        return;
    }
#else
    (void)path;
#endif
    blend_edge_rows_baseline(out, c0, far, u, lanes);
}

// The edge tables of a band from its corner tables: for each edge (j, k) and each
// pair of records, lerp(c0, c1, u) = (c1 - c0) * u + c0 at every lane, rounded to
// float, exactly as gradient_noise blends along x.
void compute_edge_tables(vector_path path, double* edges, const double* corners, const double* u, int lanes) {
    for (int edge = 0; edge < 4; ++edge) {
        const double* near = corners + edge * GRADIENT_RECORDS * lanes;       // corner (0, j, k)
        const double* far = corners + (4 + edge) * GRADIENT_RECORDS * lanes;  // corner (1, j, k)
        for (int r0 = 0; r0 < GRADIENT_RECORDS; ++r0) {
            double* rows = edges + (edge * GRADIENT_RECORDS + r0) * GRADIENT_RECORDS * lanes;
            blend_edge_rows(path, rows, near + r0 * lanes, far, u, lanes);
        }
    }
}

// Rows per band: two when one row of a cell is narrower than the path's vector,
// so that the two rows share the cell's records and the vector stays full.
int band_rows(vector_path path, int cell_width) {
    switch (path) {
        case vector_path::avx2: return cell_width < 4 ? 2 : 1;
        case vector_path::avx512: return cell_width < 8 ? 2 : 1;
        default: return 1;
    }
}

void fill_band(vector_path path, const noise_band& band) {
    switch (path) {
#if MAPGEN_HAS_X86_KERNELS
        case vector_path::avx2: fill_noise_band_avx2(band); return;
        case vector_path::avx512: fill_noise_band_avx512(band); return;
#endif
        default: fill_noise_band_baseline(band); return;
    }
}

}  // namespace

bool noise_fill_covers(std::int32_t period_x, std::int32_t period_y, float z) {
    return is_covered_period(period_x) && is_covered_period(period_y) && z >= 0.0f && z < 256.0f;
}

void add_weighted(vector_path path, float* dst, const float* src, float weight, std::size_t count) {
#if MAPGEN_HAS_X86_KERNELS
    if (path == vector_path::avx512) {
        add_weighted_avx512(dst, src, weight, count);
        return;
    }
    if (path == vector_path::avx2) {
        add_weighted_avx2(dst, src, weight, count);
        return;
    }
#else
    (void)path;
#endif
    add_weighted_baseline(dst, src, weight, count);
}

namespace {

// The fast fill, and the fast fill added in. With add, each band is made in a
// scratch pair of rows, still in the cache, and added into field's rows there:
// the same elements and the same one-element sums as a whole field made and then
// added, without the field's round trip through memory. With total as well, the
// rows of field, final once the layer is in, are added into total's there too.
void fill_or_add_noise(noise_fill_tables& tables, vector_path path, float* field, bool add, float* total, float weight,
                       std::int32_t period_x, std::int32_t period_y, float z, float lo, float hi) {
    // The tables are sized for covered periods; anything else is the plain fill's.
    if (!noise_fill_covers(period_x, period_y, z)) {
        if (!add) {
            fill_noise_field_plain(field, period_x, period_y, z, lo, hi);
            return;
        }
        std::vector<float> layer(std::size_t{FIELD_SIDE} * FIELD_SIDE);
        fill_noise_field_plain(layer.data(), period_x, period_y, z, lo, hi);
        add_weighted(path, field, layer.data(), 1, layer.size());
        if (total) add_weighted(path, total, field, weight, layer.size());
        return;
    }
    // The same step and span as the plain fill.
    const float step_x = static_cast<float>(period_x * 0.001953125);
    const float step_y = static_cast<float>(period_y * 0.001953125);
    const float span = static_cast<float>(static_cast<double>(hi) - lo);

    const int width_x = FIELD_SIDE / period_x, width_y = FIELD_SIDE / period_y;
    axis_offsets ax, ay;
    compute_axis_offsets(ax, step_x, width_x);
    compute_axis_offsets(ay, step_y, width_y);
    height_plane h;
    compute_height_plane(h, z);

    const int rows = band_rows(path, width_y);
    const int lanes = rows * width_y;
    const int lanes_shift = std::countr_zero(unsigned(lanes));  // rows and width_y are powers of two
    double* const corners = tables.corners;
    double* const edges = tables.edges;
    double* const u = tables.u;
    double* const v = tables.v;
    auto& pairs = tables.pairs;
    auto& scratch = tables.scratch;

    noise_band band;
    band.edges = edges;
    band.pairs[0] = pairs[0];
    band.pairs[1] = pairs[1];
    band.v = v;
    band.w = h.fade;
    band.scale = NOISE_SCALE;
    band.span = span;
    band.lo = lo;
    band.lanes = lanes;
    band.cell_width = width_y;
    band.cells = period_y;

    // Bands with the same offsets along x share their tables: build them once and
    // walk every x cell with them.
    const std::int32_t mask_x = period_x - 1;
    for (int first_tx = 0; first_tx < width_x; first_tx += rows) {
        const int pattern = lanes < 8 ? 8 : lanes;
        for (int l = 0; l < pattern; ++l) {
            u[l] = ax.fade[first_tx + (l % lanes) / width_y];
            v[l] = ay.fade[l % width_y];
        }
        compute_corner_tables(corners, ax, ay, h, first_tx, lanes, width_y);
        compute_edge_tables(path, edges, corners, u, lanes);
        for (int cx = 0; cx < period_x; ++cx) {
            compute_edge_pairs(pairs, h, cx, (cx + 1) & mask_x, period_y, lanes_shift);
            const std::size_t first_row = std::size_t(cx * width_x + first_tx) * FIELD_SIDE;
            for (int r = 0; r < rows; ++r) band.row[r] = add ? scratch[r] : field + first_row + r * FIELD_SIDE;
            fill_band(path, band);
            for (int r = 0; add && r < rows; ++r) {
                const std::size_t at = first_row + std::size_t(r) * FIELD_SIDE;
                add_weighted(path, field + at, scratch[r], 1, FIELD_SIDE);
                if (total) add_weighted(path, total + at, field + at, weight, FIELD_SIDE);
            }
        }
    }
}

// The same in tables of its own, on the stack.
[[gnu::noinline]] void fill_or_add_noise_here(vector_path path, float* field, bool add, float* total, float weight,
                                              std::int32_t period_x, std::int32_t period_y, float z, float lo,
                                              float hi) {
    noise_fill_tables tables;
    fill_or_add_noise(tables, path, field, add, total, weight, period_x, period_y, z, lo, hi);
}

// In the lent tables, or in its own where none are lent.
void fill_or_add_noise_in(noise_fill_tables* lent, vector_path path, float* field, bool add, float* total,
                          float weight, std::int32_t period_x, std::int32_t period_y, float z, float lo, float hi) {
    if (lent)
        fill_or_add_noise(*lent, path, field, add, total, weight, period_x, period_y, z, lo, hi);
    else
        fill_or_add_noise_here(path, field, add, total, weight, period_x, period_y, z, lo, hi);
}

}  // namespace

void fill_noise_field_fast(vector_path path, float* field, std::int32_t period_x, std::int32_t period_y, float z,
                           float lo, float hi, noise_fill_tables* tables) {
    fill_or_add_noise_in(tables, path, field, false, nullptr, 0, period_x, period_y, z, lo, hi);
}

void add_noise_field_fast(vector_path path, float* field, std::int32_t period_x, std::int32_t period_y, float z,
                          float lo, float hi, float* total, float weight, noise_fill_tables* tables) {
    fill_or_add_noise_in(tables, path, field, true, total, weight, period_x, period_y, z, lo, hi);
}
