#include "terrain/height_profile.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <array>
#include <cstdint>

#include "numerics/rng.h"
#include "platform/vector_path.h"
#include "terrain/height_profile_kernels.h"

// Arithmetic is double throughout. A value rounded to float is rounded by one
// visible static_cast<float> at the point where it is stored; where such a value
// is used again it is held in a double (or widened explicitly), so that no
// expression ever falls into float arithmetic by accident.

namespace {

// The factor of draw 2 is one unit in the last place above the double nearest
// 0.3; with the plain 0.3 a few draws round to a different float.
constexpr double RING_EXPONENT_SPAN = std::bit_cast<double>(std::uint64_t{0x3FD3333333333334});
static_assert(RING_EXPONENT_SPAN == 0.30000000000000004);

}  // namespace

// ---- shape parameters

shape_params shape_params_from_draws(const double r[18]) {
    // Multiply, then add; rows of the form (r + 1) * c add first. Each value
    // is formed in double and rounded once, when it is stored.
    shape_params p;
    p.ring_frequency = static_cast<float>(r[0] * 16 + 28);
    p.ring_exponent = static_cast<float>(r[1] * RING_EXPONENT_SPAN + 0.6);
    p.centre_base_00 = static_cast<float>(r[2] * 13 + 11);
    p.centre_base_10 = (r[3] + 1) * 9;  // stays double
    p.centre_base_01 = static_cast<float>(r[4] * 13 + 11);
    p.centre_base_11 = (r[5] + 1) * 9;  // stays double
    p.centre_rise[0] = static_cast<float>((r[6] + 1) * 8);
    p.centre_rise[1] = static_cast<float>(r[7] * 5 + 8);
    p.centre_rise[2] = static_cast<float>((r[8] + 1) * 8);
    p.centre_rise[3] = static_cast<float>(r[9] * 5 + 8);
    p.edge_base[0] = static_cast<float>(r[10] * 4 + 2);
    p.edge_base[1] = static_cast<float>(r[11] * 5 - 1);
    p.edge_base[2] = static_cast<float>(r[12] * 4 + 2);
    p.edge_base[3] = static_cast<float>(r[13] * 5 - 1);
    p.edge_rise[0] = static_cast<float>(r[14] * 4 + 7);
    p.edge_rise[1] = static_cast<float>(r[15] * 6 + 5);
    p.edge_rise[2] = static_cast<float>(r[16] * 4 + 7);
    p.edge_rise[3] = static_cast<float>(r[17] * 6 + 5);

    // centre_base's differences come from the unrounded doubles of draws 4 and 6:
    // one rounding each, after the subtraction.
    p.centre_base_xdiff[0] = static_cast<float>(p.centre_base_10 - double(p.centre_base_00));
    p.centre_base_xdiff[1] = static_cast<float>(p.centre_base_11 - double(p.centre_base_01));
    p.centre_rise_xdiff[0] = static_cast<float>(double(p.centre_rise[1]) - double(p.centre_rise[0]));
    p.centre_rise_xdiff[1] = static_cast<float>(double(p.centre_rise[3]) - double(p.centre_rise[2]));
    p.edge_base_xdiff[0] = static_cast<float>(double(p.edge_base[1]) - double(p.edge_base[0]));
    p.edge_base_xdiff[1] = static_cast<float>(double(p.edge_base[3]) - double(p.edge_base[2]));
    p.edge_rise_xdiff[0] = static_cast<float>(double(p.edge_rise[1]) - double(p.edge_rise[0]));
    p.edge_rise_xdiff[1] = static_cast<float>(double(p.edge_rise[3]) - double(p.edge_rise[2]));
    return p;
}

shape_params draw_shape_params(random_source& source) {
    double r[18];
    for (double& d : r) d = rng_unit(source);  // draws 1 to 18, in order
    return shape_params_from_draws(r);
}

shape_params draw_shape_params() { return draw_shape_params(rng_process_source()); }

// ---- blend factors and offsets

double tile_fold(float t) {
    const double td = t;
    if (t < 0.0625f) return 0.5 - td * 16 * 0.4375;
    if (t < 0.9375f) return td;
    return 0.9375 - (td - 0.9375) * 16 * 0.4375;
}

double centre_offset(int i) { return (((i + 256) % 512) - 255.5) * (1.0 / 256); }

float centre_distance(float dx2, double dy) { return static_cast<float>(std::sqrt(dy * dy + dx2)); }

namespace {

// dx2 of row x: the squared offset, rounded to float.
float offset_square(int x) {
    const double dx = centre_offset(x);
    return static_cast<float>(dx * dx);
}

}  // namespace

// ---- per row and per column

row_profile make_row_profile(const shape_params& p, int x) {
    const double sx = tile_fold(static_cast<float>(x / 512.0));  // i / 512 is exact in float
    row_profile row;
    row.dx2 = offset_square(x);

    // Row value 0 of each quantity, float.
    row.centre_base_0 = static_cast<float>(p.centre_base_xdiff[0] * sx + p.centre_base_00);
    row.centre_rise_0 = static_cast<float>(p.centre_rise_xdiff[0] * sx + p.centre_rise[0]);
    row.edge_base_0 = static_cast<float>(p.edge_base_xdiff[0] * sx + p.edge_base[0]);
    row.edge_rise_0 = static_cast<float>(p.edge_rise_xdiff[0] * sx + p.edge_rise[0]);

    // Row value 1: float, except centre_base's, which stays double.
    const double centre_base_1 = p.centre_base_xdiff[1] * sx + p.centre_base_01;
    const double centre_rise_1 = static_cast<float>(p.centre_rise_xdiff[1] * sx + p.centre_rise[2]);
    const double edge_base_1 = static_cast<float>(p.edge_base_xdiff[1] * sx + p.edge_base[2]);
    const double edge_rise_1 = static_cast<float>(p.edge_rise_xdiff[1] * sx + p.edge_rise[2]);

    row.centre_base_ydiff = static_cast<float>(centre_base_1 - row.centre_base_0);
    row.centre_rise_ydiff = static_cast<float>(centre_rise_1 - row.centre_rise_0);
    row.edge_base_ydiff = static_cast<float>(edge_base_1 - row.edge_base_0);
    row.edge_rise_ydiff = static_cast<float>(edge_rise_1 - row.edge_rise_0);
    return row;
}

namespace {

// Blend factor sy of column y, rounded to float as stored.
double column_blend(int y) { return static_cast<float>(tile_fold(static_cast<float>(y / 512.0))); }

// The ring weight at distance R, a double: both cos and pow are the standard
// double functions. In two steps, which the whole-map fill takes one at a time.
double ring_phase(double R, float ring_frequency, float ring_exponent) {
    return std::pow(R, double(ring_exponent)) * ring_frequency;
}
double weight_of_phase(double phase) { return (std::cos(phase) + 1) * 0.5; }
double ring_weight(double R, float ring_frequency, float ring_exponent) {
    return weight_of_phase(ring_phase(R, ring_frequency, ring_exponent));
}

}  // namespace

float blend_height(const row_profile& row, double sy, double R, double w) {
    // The four profile values at this column; only edge_base's is rounded.
    const double centre_base = row.centre_base_ydiff * sy + row.centre_base_0;
    const double edge_base = static_cast<float>(row.edge_base_ydiff * sy + row.edge_base_0);
    const double centre_rise = row.centre_rise_ydiff * sy + row.centre_rise_0;
    const double edge_rise = row.edge_rise_ydiff * sy + row.edge_rise_0;

    const double low = static_cast<float>((edge_base - centre_base) * R + centre_base);
    const double high0 = static_cast<float>(centre_rise + centre_base);
    // High profile at R first, then the ring weight between low and high.
    return static_cast<float>(w * ((((edge_rise + edge_base) - high0) * R + high0) - low) + low);
}

float profile_height(const row_profile& row, int y, float ring_frequency, float ring_exponent) {
    const double R = centre_distance(row.dx2, centre_offset(y));  // rounded to float
    return blend_height(row, column_blend(y), R, ring_weight(R, ring_frequency, ring_exponent));
}

void fill_profile_heights_plain(const shape_params& p, const terrain_fields& fields) {
    for (int x = 0; x < MAP_SIZE; ++x) {
        const row_profile row = make_row_profile(p, x);
        for (int y = 0; y < MAP_SIZE; ++y)
            fields.height[column_index(x, y)] = profile_height(row, y, p.ring_frequency, p.ring_exponent);
    }
}

// ---- the whole map at once

namespace {

// cos and pow are nearly all of the work, and R takes far fewer values than there
// are columns. |centre_offset(i)| = (2j + 1) / 512 with j = i below 256 and
// j = 511 - i above, so dx2 = float(dx * dx) is exact and dy * dy + dx2 equals
// n / 2^18 exactly, with n = (2j_x + 1)^2 + (2j_y + 1)^2. R, and with it the ring
// weight, is therefore a function of n alone: the same under x -> 511 - x,
// y -> 511 - y and x <-> y. n is 2 mod 8 and at most 2 * 511^2, and only 20,604
// of its values occur, against 262,144 columns. Both R and the weight are kept in
// a table by slot (n - 2) / 8, so no square root is evaluated either, and looked
// up once for a quarter of each pair of mirrored rows: the kernels then read them
// in column order, where lookups by slot (a gather per eight columns, its lines
// scattered over 1 MiB) took over half of their time.
constexpr std::int32_t odd_square(int i) {
    const int j = i < 256 ? i : 511 - i;
    return (2 * j + 1) * (2 * j + 1);
}

// Whether each slot occurs, found by the compiler: the same for every map.
constexpr std::array<bool, WEIGHT_SLOTS> occurring_slots() {
    std::array<bool, WEIGHT_SLOTS> occurs{};
    for (int jx = 0; jx < 256; ++jx)
        for (int jy = jx; jy < 256; ++jy) occurs[weight_slot(odd_square(jx) + odd_square(jy))] = true;
    return occurs;
}
constexpr int DISTANCES = 20604;

// The slots that occur, in ascending order. A count other than DISTANCES stops
// the build: more would write past the array, fewer reach the throw.
constexpr std::array<std::int32_t, DISTANCES> SLOTS = [] {
    constexpr std::array<bool, WEIGHT_SLOTS> occurs = occurring_slots();
    std::array<std::int32_t, DISTANCES> slots{};
    int count = 0;
    for (int slot = 0; slot < WEIGHT_SLOTS; ++slot)
        if (occurs[slot]) slots[count++] = slot;
    return count == DISTANCES ? slots : throw "fewer distances than counted";
}();

// R of the columns in slot: float(sqrt(dy * dy + dx2)) with dy * dy + dx2 = n / 2^18.
double slot_distance(std::int32_t slot) { return static_cast<float>(std::sqrt((8 * slot + 2) * 0x1p-18)); }

// The ring table fills the scratch field, the noise sum's before the first layer
// overwrites it: borrowed memory rather than fresh, which would cost page faults
// that outweigh the table.
static_assert(WEIGHT_SLOTS * sizeof(ring_entry) <= COLUMN_COUNT * sizeof(float));

}  // namespace

void fill_profile_heights(const shape_params& p, const terrain_fields& fields) {
    fill_profile_heights_with(p, fields, chosen_vector_path());
}

void fill_profile_heights_with(const shape_params& p, const terrain_fields& fields, vector_path path) {
    // The ring weight of every distance that occurs, once each: cos and pow are
    // nearly all of the work. Slots that never occur are never read.
    auto* const ring = reinterpret_cast<ring_entry*>(fields.noise_a);
    // Each step for every distance before the next: the square roots, then pow,
    // then cos. Calls on independent arguments overlap in the processor, where a
    // square root feeding a pow feeding a cos leaves it waiting on each result
    // (some 0.13 ms of the 0.84 a map took). The values in between are held in
    // fields.height, which the rows overwrite afterwards.
    auto* const value = reinterpret_cast<double*>(fields.height);
    static_assert(DISTANCES * sizeof(double) <= COLUMN_COUNT * sizeof(float));
    for (int i = 0; i < DISTANCES; ++i) value[i] = slot_distance(SLOTS[i]);
    for (int i = 0; i < DISTANCES; ++i) {
        ring[SLOTS[i]].R = value[i];
        value[i] = ring_phase(value[i], p.ring_frequency, p.ring_exponent);
    }
    for (int i = 0; i < DISTANCES; ++i) ring[SLOTS[i]].weight = weight_of_phase(value[i]);

    double sy[MAP_SIZE];
    for (int y = 0; y < MAP_SIZE; ++y) sy[y] = column_blend(y);
    const bool avx512 = path == vector_path::avx512, avx2 = path == vector_path::avx2;
    const auto fill_row = avx512 ? fill_row_heights_avx512 : avx2 ? fill_row_heights_avx2 : fill_row_heights_baseline;
    const auto fill_ring = avx512 ? fill_ring_row_avx512 : avx2 ? fill_ring_row_avx2 : fill_ring_row_baseline;
    // Rows x and 511 - x share their ring row, and each half of it is the other
    // reversed: one table lookup per column of a half row serves four columns.
    ring_row row_ring;
    for (int x = 0; x < MAP_SIZE / 2; ++x) {
        fill_ring(row_ring, ring, odd_square(x));
        for (const int row : {x, MAP_SIZE - 1 - x})
            fill_row(fields.height + column_index(row, 0), make_row_profile(p, row), row_ring, sy);
    }
}
