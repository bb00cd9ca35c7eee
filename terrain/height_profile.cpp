#include "terrain/height_profile.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "numerics/rng.h"
#include "terrain/vector_path.h"
#include "volume/volume.h"

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

shape_params draw_shape_params() {
    double r[18];
    for (double& d : r) d = rng_unit();  // draws 1 to 18, in order
    return shape_params_from_draws(r);
}

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
// double functions.
double ring_weight(double R, float ring_frequency, float ring_exponent) {
    return (std::cos(std::pow(R, double(ring_exponent)) * ring_frequency) + 1) * 0.5;
}

// Height of a column from its blend factor sy, distance R and ring weight w.
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

}  // namespace

float profile_height(const row_profile& row, int y, float ring_frequency, float ring_exponent) {
    const double R = centre_distance(row.dx2, centre_offset(y));  // rounded to float
    return blend_height(row, column_blend(y), R, ring_weight(R, ring_frequency, ring_exponent));
}

void fill_profile_heights_plain(const shape_params& p) {
    for (int x = 0; x < MAP_SIZE; ++x) {
        const row_profile row = make_row_profile(p, x);
        for (int y = 0; y < MAP_SIZE; ++y)
            height_field[column_index(x, y)] = profile_height(row, y, p.ring_frequency, p.ring_exponent);
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
// of its values occur, against 262,144 columns.
std::int32_t odd_square(int i) {
    const int j = i < 256 ? i : 511 - i;
    return (2 * j + 1) * (2 * j + 1);
}
int weight_slot(int n) { return (n - 2) / 8; }
constexpr int WEIGHT_SLOTS = (2 * 511 * 511 - 2) / 8 + 1;

// What all rows share: per column y its blend factor, its offset from the centre
// and its odd square, and the ring weight of every distance, by slot.
struct profile_columns {
    double sy[MAP_SIZE];
    double dy[MAP_SIZE];
    std::int32_t ny[MAP_SIZE];
    const double* weight;
};

// The heights of one row, two columns per step (one per double lane) through the
// IEEE operations of blend_height in the same order; rounding to float is a round
// trip through single precision.
void fill_row_heights_baseline(float* heights, const row_profile& row, std::int32_t nx,
                               const profile_columns& columns) {
#if defined(__SSE2__)
    const auto round_to_float = [](__m128d v) { return _mm_cvtps_pd(_mm_cvtpd_ps(v)); };
    const __m128d dx2 = _mm_set1_pd(row.dx2);
    const __m128d centre_base_0 = _mm_set1_pd(row.centre_base_0), centre_base_ydiff = _mm_set1_pd(row.centre_base_ydiff);
    const __m128d centre_rise_0 = _mm_set1_pd(row.centre_rise_0), centre_rise_ydiff = _mm_set1_pd(row.centre_rise_ydiff);
    const __m128d edge_base_0 = _mm_set1_pd(row.edge_base_0), edge_base_ydiff = _mm_set1_pd(row.edge_base_ydiff);
    const __m128d edge_rise_0 = _mm_set1_pd(row.edge_rise_0), edge_rise_ydiff = _mm_set1_pd(row.edge_rise_ydiff);
    for (int y = 0; y < MAP_SIZE; y += 2) {
        const __m128d sy = _mm_loadu_pd(columns.sy + y), dy = _mm_loadu_pd(columns.dy + y);
        const __m128d w = _mm_setr_pd(columns.weight[weight_slot(nx + columns.ny[y])],
                                      columns.weight[weight_slot(nx + columns.ny[y + 1])]);
        const __m128d R = round_to_float(_mm_sqrt_pd(dy * dy + dx2));
        const __m128d centre_base = centre_base_ydiff * sy + centre_base_0;
        const __m128d edge_base = round_to_float(edge_base_ydiff * sy + edge_base_0);
        const __m128d centre_rise = centre_rise_ydiff * sy + centre_rise_0;
        const __m128d edge_rise = edge_rise_ydiff * sy + edge_rise_0;
        const __m128d low = round_to_float((edge_base - centre_base) * R + centre_base);
        const __m128d high0 = round_to_float(centre_rise + centre_base);
        const __m128d h = w * ((((edge_rise + edge_base) - high0) * R + high0) - low) + low;
        _mm_storel_pi(reinterpret_cast<__m64*>(heights + y), _mm_cvtpd_ps(h));
    }
#else
    for (int y = 0; y < MAP_SIZE; ++y)
        heights[y] = blend_height(row, columns.sy[y], centre_distance(row.dx2, columns.dy[y]),
                                  columns.weight[weight_slot(nx + columns.ny[y])]);
#endif
}

#if defined(__x86_64__) || defined(__i386__)

// The same, eight columns per step (AVX-512F), for processors that have it. Only
// functions marked so carry the target, so no wider instruction can leak into code
// that runs everywhere. Rounding to float is vcvtpd2ps (to nearest even, like the
// scalar conversion), widened back exactly by vcvtps2pd; no fused multiply-add.
#define PROFILE_AVX512 __attribute__((target("avx512f")))
// GCC 12's own AVX-512 intrinsics start from an "undefined" vector that it then
// reports as uninitialised; nothing of it is read.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

PROFILE_AVX512 __m512d all(double v) { return _mm512_set1_pd(v); }
PROFILE_AVX512 __m512d round_to_float(__m512d v) { return _mm512_cvtps_pd(_mm512_cvtpd_ps(v)); }

PROFILE_AVX512 void fill_row_heights_avx512(float* heights, const row_profile& row, std::int32_t nx,
                                            const profile_columns& columns) {
    const __m512d dx2 = all(row.dx2);
    const __m512d centre_base_0 = all(row.centre_base_0), centre_base_ydiff = all(row.centre_base_ydiff);
    const __m512d centre_rise_0 = all(row.centre_rise_0), centre_rise_ydiff = all(row.centre_rise_ydiff);
    const __m512d edge_base_0 = all(row.edge_base_0), edge_base_ydiff = all(row.edge_base_ydiff);
    const __m512d edge_rise_0 = all(row.edge_rise_0), edge_rise_ydiff = all(row.edge_rise_ydiff);
    const __m256i slot_offset = _mm256_set1_epi32(nx - 2);
    for (int y = 0; y < MAP_SIZE; y += 8) {
        const __m512d sy = _mm512_loadu_pd(columns.sy + y), dy = _mm512_loadu_pd(columns.dy + y);
        // Weight slot (nx + ny - 2) / 8 of each column; n - 2 is never negative.
        const __m256i slot = _mm256_srli_epi32(
            _mm256_add_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(columns.ny + y)), slot_offset), 3);
        const __m512d w = _mm512_i32gather_pd(slot, columns.weight, 8);
        const __m512d R = round_to_float(_mm512_sqrt_pd(dy * dy + dx2));
        const __m512d centre_base = centre_base_ydiff * sy + centre_base_0;
        const __m512d edge_base = round_to_float(edge_base_ydiff * sy + edge_base_0);
        const __m512d centre_rise = centre_rise_ydiff * sy + centre_rise_0;
        const __m512d edge_rise = edge_rise_ydiff * sy + edge_rise_0;
        const __m512d low = round_to_float((edge_base - centre_base) * R + centre_base);
        const __m512d high0 = round_to_float(centre_rise + centre_base);
        const __m512d h = w * ((((edge_rise + edge_base) - high0) * R + high0) - low) + low;
        _mm256_storeu_ps(heights + y, _mm512_cvtpd_ps(h));
    }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

}  // namespace

void fill_profile_heights(const shape_params& p) { fill_profile_heights_with(p, best_vector_path()); }

void fill_profile_heights_with(const shape_params& p, vector_path path) {
    // Weight of every n that occurs. The table lives in noise_field_b, and the
    // list of distinct n in noise_field_a, work fields that the first noise set
    // overwrites: fresh memory would cost page faults that outweigh the whole table.
    static_assert(WEIGHT_SLOTS * sizeof(double) <= COLUMN_COUNT * sizeof(float));
    double* const weight = reinterpret_cast<double*>(noise_field_b);
    // First the (jx, jy) at which each n first occurs, in one branch-free walk: n
    // repeats unpredictably, and a test per pair costs more than the list.
    struct first_pair {
        std::int32_t slot;
        std::uint8_t jx, jy;
    };
    static_assert(WEIGHT_SLOTS + 256 * 257 / 2 * sizeof(first_pair) <= COLUMN_COUNT * sizeof(float));
    auto* const seen = reinterpret_cast<std::uint8_t*>(noise_field_a);
    auto* const firsts = reinterpret_cast<first_pair*>(noise_field_a + (WEIGHT_SLOTS + 3) / 4);
    std::fill_n(seen, WEIGHT_SLOTS, 0);
    std::size_t count = 0;
    for (int jx = 0; jx < 256; ++jx)
        for (int jy = jx; jy < 256; ++jy) {
            const int slot = weight_slot(odd_square(jx) + odd_square(jy));
            firsts[count] = {slot, std::uint8_t(jx), std::uint8_t(jy)};
            count += seen[slot] ^ 1;
            seen[slot] = 1;
        }
    for (std::size_t i = 0; i < count; ++i) {
        const first_pair f = firsts[i];
        weight[f.slot] =
            ring_weight(centre_distance(offset_square(f.jx), centre_offset(f.jy)), p.ring_frequency, p.ring_exponent);
    }

    profile_columns columns;
    for (int y = 0; y < MAP_SIZE; ++y) {
        columns.sy[y] = column_blend(y);
        columns.dy[y] = centre_offset(y);
        columns.ny[y] = odd_square(y);
    }
    columns.weight = weight;
    for (int x = 0; x < MAP_SIZE; ++x) {
        float* const heights = height_field + column_index(x, 0);
        const row_profile row = make_row_profile(p, x);
#if defined(__x86_64__) || defined(__i386__)
        if (path == vector_path::avx512) {
            fill_row_heights_avx512(heights, row, odd_square(x), columns);
            continue;
        }
#else
        (void)path;
#endif
        fill_row_heights_baseline(heights, row, odd_square(x), columns);
    }
}
