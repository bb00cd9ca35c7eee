// Tileable gradient noise. Arithmetic is double; a value is rounded to float only
// at the points marked below, each one a single static_cast<float>. Those points,
// and the order of every sum and product, fix the bits of every map: move one and
// some noise values, hence some column heights and colours, change.
#include "numerics/noise.h"

#include <cmath>

namespace {

// Wrapping of one axis: a period of 256 or more acts as 256 (the permutation has
// 256 entries), a power of two p wraps with p - 1, and 0 gives -1, all bits set,
// which leaves the axis unwrapped. This is a bitwise AND, not a remainder: a period
// that is not a power of two does not tile.
std::int32_t period_mask(std::int32_t period) {
    return period >= 256 ? 255 : period - 1;
}

// floor, not truncation toward zero: -0.5 lies in cell -1 with offset 0.5.
std::int32_t lattice_cell(float coordinate) {
    return static_cast<std::int32_t>(std::floor(static_cast<double>(coordinate)));
}

}  // namespace

float fade(float t) {
    const double s = t;
    // Horner form in exactly this order, rounded to float once at the end.
    return static_cast<float>(((((s * 6 - 15) * s + 10) * s) * s) * s);
}

double lerp(float a, float b, float t) {
    return (static_cast<double>(b) - a) * t + a;
}

double gradient_dot(std::int32_t hash, float dx, float dy, float dz) {
    const float* g = gradient_vectors[gradient_select[hash & 63]];
    return (static_cast<double>(dy) * g[1] + static_cast<double>(dz) * g[2]) + static_cast<double>(dx) * g[0];
}

double gradient_noise(float x, float y, float z, std::int32_t period_x, std::int32_t period_y, std::int32_t period_z) {
    const std::int32_t mask_x = period_mask(period_x);
    const std::int32_t mask_y = period_mask(period_y);
    const std::int32_t mask_z = period_mask(period_z);

    const std::int32_t x0 = lattice_cell(x);
    const std::int32_t y0 = lattice_cell(y);
    const std::int32_t z0 = lattice_cell(z);

    // Offsets within the cell, rounded to float (exact for non-negative coordinates;
    // a coordinate just below an integer rounds onto the far lattice plane).
    const float fx = static_cast<float>(static_cast<double>(x) - x0);
    const float fy = static_cast<float>(static_cast<double>(y) - y0);
    const float fz = static_cast<float>(static_cast<double>(z) - z0);

    const float u = fade(fx);
    const float v = fade(fy);
    const float w = fade(fz);

    const std::int32_t X0 = x0 & mask_x, X1 = (x0 + 1) & mask_x;
    const std::int32_t Y0 = y0 & mask_y, Y1 = (y0 + 1) & mask_y;
    const std::int32_t Z0 = z0 & mask_z, Z1 = (z0 + 1) & mask_z;

    // Corner hashes P[P[P[X] + Y] + Z]; the doubled table absorbs each sum.
    const std::int32_t* P = noise_permutation;
    const std::int32_t A = P[X0], B = P[X1];
    const std::int32_t AA = P[A + Y0], AB = P[A + Y1];
    const std::int32_t BA = P[B + Y0], BB = P[B + Y1];

    // Offsets from the far corners, rounded to float.
    const float fx1 = static_cast<float>(static_cast<double>(fx) - 1);
    const float fy1 = static_cast<float>(static_cast<double>(fy) - 1);
    const float fz1 = static_cast<float>(static_cast<double>(fz) - 1);

    // The eight corner contributions c_ijk (i along x, j along y, k along z),
    // each rounded to float.
    const float c000 = static_cast<float>(gradient_dot(P[AA + Z0], fx, fy, fz));
    const float c001 = static_cast<float>(gradient_dot(P[AA + Z1], fx, fy, fz1));
    const float c010 = static_cast<float>(gradient_dot(P[AB + Z0], fx, fy1, fz));
    const float c011 = static_cast<float>(gradient_dot(P[AB + Z1], fx, fy1, fz1));
    const float c100 = static_cast<float>(gradient_dot(P[BA + Z0], fx1, fy, fz));
    const float c101 = static_cast<float>(gradient_dot(P[BA + Z1], fx1, fy, fz1));
    const float c110 = static_cast<float>(gradient_dot(P[BB + Z0], fx1, fy1, fz));
    const float c111 = static_cast<float>(gradient_dot(P[BB + Z1], fx1, fy1, fz1));

    // Blend along x, each result rounded to float.
    const float e00 = static_cast<float>(lerp(c000, c100, u));
    const float e01 = static_cast<float>(lerp(c001, c101, u));
    const float e10 = static_cast<float>(lerp(c010, c110, u));
    const float e11 = static_cast<float>(lerp(c011, c111, u));

    // Blend along y, each result rounded to float.
    const float f0 = static_cast<float>(lerp(e00, e10, v));
    const float f1 = static_cast<float>(lerp(e01, e11, v));

    // Blend along z: the result stays double.
    return lerp(f0, f1, w);
}
