// The fast noise fill: the same field as one gradient_noise call per element, bit
// for bit, because every value goes through the same IEEE double operations in the
// same order with the same roundings to float. What it saves is repetition: z is
// the same for the whole field, a sample's offset within its lattice cell repeats
// from cell to cell, a corner contribution depends only on its gradient record and
// its offsets, and so does the x blend of two of them on the records of its two
// ends; those are computed once per field (or per band of rows).
// The plain fill stays as the reference and the fallback.
#pragma once

#include <cstddef>
#include <cstdint>

/// The literal fill: one gradient_noise call per element, in storage order.
void fill_noise_field_plain(float* field, std::int32_t period_x, std::int32_t period_y, float z, float lo, float hi);

/// Ways of running the fast fill. Each gives the same bits; they differ only in how
/// many samples one instruction carries (1, 4 or 8 doubles).
enum class noise_fill_path { scalar, avx2, avx512 };

/// Whether this build, on this processor, can run path (scalar: always).
bool noise_fill_path_supported(noise_fill_path path);
/// The widest path this processor supports; asked once, then remembered.
noise_fill_path best_noise_fill_path();
/// Whether the fast fill takes these arguments: power-of-two periods from 8 to 256 on
/// both axes and 0 <= z < 256. Anything else goes to the plain fill.
bool noise_fill_covers(std::int32_t period_x, std::int32_t period_y, float z);
/// fill_noise_field through path, which must be supported; arguments that are not
/// covered get the plain fill.
void fill_noise_field_fast(noise_fill_path path, float* field, std::int32_t period_x, std::int32_t period_y, float z,
                           float lo, float hi);

/// dst[i] = float(weight * src[i] + dst[i]) for i < count, in double, through path
/// (which must be supported): the same bits on every path.
void add_weighted(noise_fill_path path, float* dst, const float* src, float weight, std::size_t count);

// ---- between the fill and its per-path kernels

/// One band: 1 or 2 consecutive field rows inside one lattice cell along x, so that
/// all its rows share the cell's two x lattice planes. Along y the band is cut into
/// lattice cells; within a cell the band's `lanes` samples (rows x cell_width, row
/// major) get their four x blends from one table row per cell edge.
struct noise_band {
    /// Four edge tables, the edge at y side j and z side k at 2j + k. Each holds 144
    /// rows, row 12 r0 + r1 for the gradient records r0 on the near x plane and r1
    /// on the far one, of `lanes` doubles: the x blend lerp(c0, c1, u) of the two
    /// corner contributions at each lane's offsets, rounded to float. 64-byte aligned.
    const double* edges;
    /// pairs[k][Y]: table row offset ((12 r0 + r1) * lanes) of the edge along x on y
    /// plane Y and z plane k; Y runs 0..cells, the last repeating 0.
    const std::int32_t* pairs[2];
    /// Fade weight along y of each lane; max(lanes, 8) entries, the pattern of
    /// `lanes` repeated.
    const double* v;
    double w;      ///< fade weight along z
    double scale;  ///< float(5/6)
    double span;   ///< float(hi - lo)
    double lo;
    int lanes;       ///< rows * cell_width
    int cell_width;  ///< samples per lattice cell along y: 512 / period_y
    int cells;       ///< lattice cells along y: period_y
    float* row[2];   ///< the band's rows of the field
};

/// The 12 rows of an edge table for near record r0: out[r1 * lanes + l] =
/// float(lerp(c0[l], far[r1 * lanes + l], u[l])) for every far record r1, through
/// path (which must be supported); the same bits on every path.
void blend_edge_rows(noise_fill_path path, double* out, const double* c0, const double* far, const double* u, int lanes);
/// blend_edge_rows one lane at a time.
void blend_edge_rows_scalar(double* out, const double* c0, const double* far, const double* u, int lanes);
/// blend_edge_rows four lanes at a time (AVX2; x86 only); lanes is a multiple of 4.
void blend_edge_rows_avx2(double* out, const double* c0, const double* far, const double* u, int lanes);
/// blend_edge_rows eight lanes at a time (AVX-512F; x86 only); lanes is a multiple of 8.
void blend_edge_rows_avx512(double* out, const double* c0, const double* far, const double* u, int lanes);

/// Fill one band, one sample at a time.
void fill_noise_band_scalar(const noise_band& band);
/// Fill one band, four samples at a time (AVX2; x86 only).
void fill_noise_band_avx2(const noise_band& band);
/// Fill one band, eight samples at a time (AVX-512F; x86 only).
void fill_noise_band_avx512(const noise_band& band);
/// add_weighted, eight elements at a time (AVX-512F; x86 only).
void add_weighted_avx512(float* dst, const float* src, float weight, std::size_t count);
