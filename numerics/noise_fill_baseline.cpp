// The fast fill's kernels for one sample at a time, which run everywhere; each
// wider kernel does what these do, lane by lane.
#include "numerics/noise_fill_kernels.h"

#include "numerics/noise.h"

void blend_edge_rows_baseline(double* out, const double* c0, const double* far, const double* u, int lanes) {
    for (int r1 = 0; r1 < GRADIENT_RECORDS; ++r1, out += lanes) {
        const double* c1 = far + r1 * lanes;
        for (int l = 0; l < lanes; ++l) out[l] = static_cast<float>((c1[l] - c0[l]) * u[l] + c0[l]);
    }
}

void fill_noise_band_baseline(const noise_band& band) {
    const int lanes = band.lanes, width = band.cell_width;
    const int table = GRADIENT_RECORDS * GRADIENT_RECORDS * lanes;
    for (int c = 0; c < band.cells; ++c) {
        const double* e00 = band.edges + 0 * table + band.pairs[0][c];
        const double* e01 = band.edges + 1 * table + band.pairs[1][c];
        const double* e10 = band.edges + 2 * table + band.pairs[0][c + 1];
        const double* e11 = band.edges + 3 * table + band.pairs[1][c + 1];
        for (int l = 0; l < lanes; ++l) {
            const double v = band.v[l];
            // lerp(a, b, t) = (b - a) * t + a, rounded to float after the y blends.
            const float f0 = static_cast<float>((e10[l] - e00[l]) * v + e00[l]);
            const float f1 = static_cast<float>((e11[l] - e01[l]) * v + e01[l]);
            const double n = (static_cast<double>(f1) - f0) * band.w + f0;
            band.row[l / width][c * width + l % width] =
                static_cast<float>(((n * band.scale + 1) * 0.5) * band.span + band.lo);
        }
    }
}

void add_weighted_baseline(float* dst, const float* src, float weight, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) dst[i] = static_cast<float>(static_cast<double>(weight) * src[i] + dst[i]);
}
