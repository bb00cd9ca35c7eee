// Between the fast noise fill and its per-path kernels (noise_fill_baseline.cpp,
// noise_fill_avx2.cpp, noise_fill_avx512.cpp). Each kernel does, lane by lane,
// exactly what the baseline one does: the same IEEE double subtractions,
// multiplications and additions in the same order (never fused), and the same
// roundings to float. One step differs and still gives the same double: the wide
// kernels map a noise value with one product x * (0.5 * span) where the baseline
// forms (x * 0.5) * span. Both halvings are exact (span is a float, x = n * scale
// + 1 lies between 0.08 and 1.92), and halving commutes with rounding to nearest
// so far from the edges of the double range. Call a wider kernel only where its
// path is supported; builds without x86 kernels have only the baseline ones.
#pragma once

#include <cstddef>
#include <cstdint>

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
    double scale;  ///< NOISE_SCALE
    double span;   ///< float(hi - lo)
    double lo;
    int lanes;       ///< rows * cell_width
    int cell_width;  ///< samples per lattice cell along y: 512 / period_y
    int cells;       ///< lattice cells along y: period_y
    float* row[2];   ///< the band's rows of the field
};

/// The 12 rows of an edge table for near record r0: out[r1 * lanes + l] =
/// float(lerp(c0[l], far[r1 * lanes + l], u[l])) for every far record r1: two lanes at
/// a time on SSE2 (lanes is even), one elsewhere.
void blend_edge_rows_baseline(double* out, const double* c0, const double* far, const double* u, int lanes);
/// The same four lanes at a time (AVX2); lanes is a multiple of 4.
void blend_edge_rows_avx2(double* out, const double* c0, const double* far, const double* u, int lanes);
/// The same eight lanes at a time (AVX-512F); lanes is a multiple of 8.
void blend_edge_rows_avx512(double* out, const double* c0, const double* far, const double* u, int lanes);

/// Fills one band: two samples at a time on SSE2, one elsewhere.
void fill_noise_band_baseline(const noise_band& band);
/// Fills one band, four samples at a time (AVX2).
void fill_noise_band_avx2(const noise_band& band);
/// Fills one band, eight samples at a time (AVX-512F).
void fill_noise_band_avx512(const noise_band& band);

/// dst[i] = float(weight * src[i] + dst[i]) for i < count: four elements at a time on
/// SSE2 for the weights below, one at a time for other weights and elsewhere.
void add_weighted_baseline(float* dst, const float* src, float weight, std::size_t count);
/// The same, sixteen elements at a time (AVX-512F), eight for other weights.
void add_weighted_avx512(float* dst, const float* src, float weight, std::size_t count);
/// The same, eight elements at a time (AVX2) for the weights below; the baseline's
/// sums for other weights.
void add_weighted_avx2(float* dst, const float* src, float weight, std::size_t count);

// The weighted sum in float arithmetic. With weight 1, and with weight 2 where
// |src| stays below DOUBLING_OVERFLOWS, weight * src is exactly a float, and the
// double sum of two floats rounded to float is their float sum: a double's 53 bits
// exceed 2 * 24 + 1, so rounding twice, to double and then to float, lands where
// rounding once does (signed zeros, infinities and overflow alike). The float
// product and sum then give the widened ones' bits, and where both are NaN, a NaN.
// The generator adds with these two weights only.
constexpr bool adds_as_float_sums(float weight) { return weight == 1.0f || weight == 2.0f; }
/// From this magnitude on, twice a float overflows float; a NaN never reaches it
/// and needs no other path.
constexpr float DOUBLING_OVERFLOWS = 0x1p127f;
