#include "terrain/colouring.h"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "terrain/vector_path.h"
#include "volume/volume.h"

// Arithmetic is double; a value rounded to float is rounded by one visible
// static_cast<float> and then held in a double, so that no later expression
// falls into float arithmetic. Conversions to integer truncate toward zero.

namespace {

// Float constants widened to double; the doubles nearest 0.05 and 0.7 would
// give different colours.
constexpr float HEIGHT_SCALE = 0.05f;  // th ramps from h = 4 to h = 24
constexpr float LIGHT_WEIGHT = 0.7f;   // share of the light in the multiplier

constexpr int GREY = 120;  // steep slopes fade toward this level

// Light falls along the unit vector (0.6, 0, 0.8); these are doubles.
constexpr double LIGHT_X = 0.6;
constexpr double LIGHT_Z = 0.8;
constexpr double AMBIENT = 0.3;

}  // namespace

double smoothstep01(float t) {
    if (t < 0) return 0;
    if (t > 1) return 1;
    const double td = t;
    return 3 * (td * td) - 2 * ((td * td) * td);
}

std::uint32_t column_colour(float h, float h_prev_x, float h_prev_y, std::int32_t column_height) {
    const double hd = h;
    int red1, green1, blue1;
    double multiplier = 1;  // floor columns are not shaded
    if (column_height != 0) {
        const double th = static_cast<float>(smoothstep01(static_cast<float>((hd - 4) * HEIGHT_SCALE)));
        const double gx = static_cast<float>(hd - h_prev_x);
        const double gy = hd - h_prev_y;  // not rounded
        const double s2 = static_cast<float>(gy * gy + gx * gx);
        const double ts = static_cast<float>(smoothstep01(static_cast<float>(s2 * 0.625)));
        // Cosine between the surface normal direction (gx, gy, 1) and the light.
        const double q = std::clamp((gx * LIGHT_X + LIGHT_Z) / std::sqrt(s2 + 1), 0.0, 1.0);
        multiplier = std::clamp(q * LIGHT_WEIGHT + AMBIENT, 0.0, 1.0);

        const int red0 = static_cast<int>(th * 76 + 144);
        const int green0 = static_cast<int>(th * 60 + 160);
        const int blue0 = static_cast<int>(th * 116 + 104);
        red1 = static_cast<int>((GREY - red0) * ts + red0);
        green1 = static_cast<int>((GREY - green0) * ts + green0);
        blue1 = static_cast<int>((GREY - blue0) * ts + blue0);
    } else {
        // Deeper floor is bluer: (130, 170, 200) at h <= -0.5 to (144, 160, 104) at h >= 2.5.
        const double k = std::clamp(1 - (hd + 0.5) * (1.0 / 3), 0.0, 1.0);
        red1 = static_cast<int>(144 - 14 * k);
        green1 = static_cast<int>(160 + 10 * k);
        blue1 = static_cast<int>(104 + 96 * k);
    }
    const auto red = static_cast<std::uint32_t>(red1 * multiplier);
    const auto green = static_cast<std::uint32_t>(green1 * multiplier);
    const auto blue = static_cast<std::uint32_t>(blue1 * multiplier);
    return 0x80000000u | red << 16 | green << 8 | blue;
}

void colour_columns_plain() {
    for (int x = 0; x < MAP_SIZE; ++x) {
        const int px = (x + MAP_SIZE - 1) % MAP_SIZE;  // column 0's neighbour is 511
        for (int y = 0; y < MAP_SIZE; ++y) {
            const int py = (y + MAP_SIZE - 1) % MAP_SIZE;
            const std::size_t c = column_index(x, y);
            const std::uint32_t colour =
                column_colour(height_field[c], height_field[column_index(px, y)], height_field[column_index(x, py)],
                              column_height[c]);
            std::fill_n(color_map + c * MAP_DEPTH, MAP_DEPTH, colour);
        }
    }
}

// ---- the whole map, several columns per step
//
// Each lane of a vector is one column and goes through the IEEE operations of
// column_colour in the same order (no fused multiply-add, nothing regrouped), so it
// gets exactly column_colour's bits. Rounding to float is a round trip through
// single precision (to nearest even, like the scalar conversion); truncation is
// cvttpd2dq, exact for the small values it meets. Clamping uses min and max: unlike
// std::clamp they turn -0 into +0, and no colour depends on the sign of a zero.
// smoothstep01 clamps before its polynomial, which is exactly 0 at 0 and exactly
// 1 at 1, so it needs no branch.
//
// Each column's 64 words are stored as soon as they are known: the stores drain
// while the next columns are computed, which hides most of the arithmetic behind
// the memory traffic (a row computed first and stored afterwards takes a quarter
// longer). They are ordinary stores, not streaming ones: the first touch of each
// page has the kernel clear it just before, so its lines are still in the cache,
// and writing over them there measured some 8% faster than sending them past it.

namespace {

#if defined(__SSE2__)

// Two columns per step.
namespace pairs {

using pair = __m128d;

pair all(double v) { return _mm_set1_pd(v); }
pair round_to_float(pair v) { return _mm_cvtps_pd(_mm_cvtpd_ps(v)); }
pair truncated(pair v) { return _mm_cvtepi32_pd(_mm_cvttpd_epi32(v)); }
pair clamped01(pair v) { return _mm_min_pd(_mm_max_pd(v, _mm_setzero_pd()), all(1)); }
pair smoothstep01(pair t) {
    const pair c = clamped01(t);
    const pair c2 = c * c;
    return all(3) * c2 - all(2) * (c2 * c);
}
// trunc((120 - channel0) * ts + channel0)
pair toward_grey(pair channel0, pair ts) { return truncated((all(GREY) - channel0) * ts + channel0); }
// Two adjacent floats as doubles.
pair widened(const float* p) {
    return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}

// Colour words of two columns (in the low half): heights, x-1 and y-1
// neighbours, and a mask that is all ones in the lanes of floor columns.
__m128i column_colours(pair h, pair h_prev_x, pair h_prev_y, pair floor) {
    // Raised columns.
    const pair th = round_to_float(smoothstep01(round_to_float((h - all(4)) * all(HEIGHT_SCALE))));
    const pair gx = round_to_float(h - h_prev_x);
    const pair gy = h - h_prev_y;
    const pair s2 = round_to_float(gy * gy + gx * gx);
    const pair ts = round_to_float(smoothstep01(round_to_float(s2 * all(0.625))));
    const pair q = clamped01((gx * all(LIGHT_X) + all(LIGHT_Z)) / _mm_sqrt_pd(s2 + all(1)));
    const pair m = clamped01(q * all(LIGHT_WEIGHT) + all(AMBIENT));
    const pair red_raised = toward_grey(truncated(th * all(76) + all(144)), ts);
    const pair green_raised = toward_grey(truncated(th * all(60) + all(160)), ts);
    const pair blue_raised = toward_grey(truncated(th * all(116) + all(104)), ts);

    // Floor columns: their tint, and no shading.
    const pair k = clamped01(all(1) - (h + all(0.5)) * all(1.0 / 3));
    const auto pick = [floor](pair if_floor, pair if_raised) {
        return _mm_or_pd(_mm_and_pd(floor, if_floor), _mm_andnot_pd(floor, if_raised));
    };
    const pair red = pick(truncated(all(144) - all(14) * k), red_raised);
    const pair green = pick(truncated(all(160) + all(10) * k), green_raised);
    const pair blue = pick(truncated(all(104) + all(96) * k), blue_raised);
    const pair multiplier = pick(all(1), m);

    const __m128i r = _mm_cvttpd_epi32(red * multiplier);
    const __m128i g = _mm_cvttpd_epi32(green * multiplier);
    const __m128i b = _mm_cvttpd_epi32(blue * multiplier);
    const __m128i word = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(r, 16), _mm_slli_epi32(g, 8)), b);
    return _mm_or_si128(word, _mm_set1_epi32(static_cast<int>(0x80000000u)));
}

}  // namespace pairs

void colour_row_baseline(int x) {
    using namespace pairs;
    const float* h = height_field + column_index(x, 0);
    const float* h_prev_x = height_field + column_index((x + MAP_SIZE - 1) % MAP_SIZE, 0);
    const std::int32_t* heights = column_height + column_index(x, 0);
    auto* out = reinterpret_cast<__m128i*>(color_map + column_index(x, 0) * MAP_DEPTH);  // 2 MiB aligned storage
    for (int y = 0; y < MAP_SIZE; y += 2) {
        // Column 0's y-neighbour is column 511 of the same row.
        const pair prev_y = y == 0 ? _mm_setr_pd(h[MAP_SIZE - 1], h[0]) : widened(h + y - 1);
        const __m128i zero = _mm_cmpeq_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(heights + y)),
                                             _mm_setzero_si128());
        const pair floor = _mm_castsi128_pd(_mm_unpacklo_epi32(zero, zero));
        const __m128i words = column_colours(widened(h + y), widened(h_prev_x + y), prev_y, floor);
        for (const __m128i word : {_mm_shuffle_epi32(words, 0x00), _mm_shuffle_epi32(words, 0x55)})
            for (int i = 0; i < MAP_DEPTH / 4; ++i) _mm_store_si128(out++, word);
    }
}

#else

void colour_row_baseline(int x) {
    const int px = (x + MAP_SIZE - 1) % MAP_SIZE;
    for (int y = 0; y < MAP_SIZE; ++y) {
        const std::size_t c = column_index(x, y);
        const std::uint32_t colour = column_colour(height_field[c], height_field[column_index(px, y)],
                                                   height_field[column_index(x, (y + MAP_SIZE - 1) % MAP_SIZE)],
                                                   column_height[c]);
        std::fill_n(color_map + c * MAP_DEPTH, MAP_DEPTH, colour);
    }
}

#endif

#if defined(__x86_64__) || defined(__i386__)

// Eight columns per step (AVX-512F), for processors that have it. Only functions
// marked so carry the target, so no wider instruction can leak into code that runs
// everywhere.
#define COLOUR_AVX512 __attribute__((target("avx512f")))
// GCC 12's own AVX-512 intrinsics start from an "undefined" vector that it then
// reports as uninitialised; nothing of it is read.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace octets {

using octet = __m512d;

COLOUR_AVX512 octet all(double v) { return _mm512_set1_pd(v); }
COLOUR_AVX512 octet round_to_float(octet v) { return _mm512_cvtps_pd(_mm512_cvtpd_ps(v)); }
COLOUR_AVX512 octet truncated(octet v) { return _mm512_cvtepi32_pd(_mm512_cvttpd_epi32(v)); }
COLOUR_AVX512 octet clamped01(octet v) { return _mm512_min_pd(_mm512_max_pd(v, _mm512_setzero_pd()), all(1)); }
COLOUR_AVX512 octet smoothstep01(octet t) {
    const octet c = clamped01(t);
    const octet c2 = c * c;
    return all(3) * c2 - all(2) * (c2 * c);
}
COLOUR_AVX512 octet toward_grey(octet channel0, octet ts) {
    return truncated((all(GREY) - channel0) * ts + channel0);
}
COLOUR_AVX512 octet widened(const float* p) { return _mm512_cvtps_pd(_mm256_loadu_ps(p)); }

// Colour words of eight columns; floor has the bits of the floor columns' lanes.
COLOUR_AVX512 __m256i column_colours(octet h, octet h_prev_x, octet h_prev_y, __mmask8 floor) {
    // Raised columns.
    const octet th = round_to_float(smoothstep01(round_to_float((h - all(4)) * all(HEIGHT_SCALE))));
    const octet gx = round_to_float(h - h_prev_x);
    const octet gy = h - h_prev_y;
    const octet s2 = round_to_float(gy * gy + gx * gx);
    const octet ts = round_to_float(smoothstep01(round_to_float(s2 * all(0.625))));
    const octet q = clamped01((gx * all(LIGHT_X) + all(LIGHT_Z)) / _mm512_sqrt_pd(s2 + all(1)));
    const octet m = clamped01(q * all(LIGHT_WEIGHT) + all(AMBIENT));
    const octet red_raised = toward_grey(truncated(th * all(76) + all(144)), ts);
    const octet green_raised = toward_grey(truncated(th * all(60) + all(160)), ts);
    const octet blue_raised = toward_grey(truncated(th * all(116) + all(104)), ts);

    // Floor columns: their tint, and no shading.
    const octet k = clamped01(all(1) - (h + all(0.5)) * all(1.0 / 3));
    const octet red = _mm512_mask_blend_pd(floor, red_raised, truncated(all(144) - all(14) * k));
    const octet green = _mm512_mask_blend_pd(floor, green_raised, truncated(all(160) + all(10) * k));
    const octet blue = _mm512_mask_blend_pd(floor, blue_raised, truncated(all(104) + all(96) * k));
    const octet multiplier = _mm512_mask_blend_pd(floor, m, all(1));

    const __m256i r = _mm512_cvttpd_epi32(red * multiplier);
    const __m256i g = _mm512_cvttpd_epi32(green * multiplier);
    const __m256i b = _mm512_cvttpd_epi32(blue * multiplier);
    const __m256i word = _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(r, 16), _mm256_slli_epi32(g, 8)), b);
    return _mm256_or_si256(word, _mm256_set1_epi32(static_cast<int>(0x80000000u)));
}

}  // namespace octets

COLOUR_AVX512 void colour_row_avx512(int x) {
    using namespace octets;
    const float* h = height_field + column_index(x, 0);
    const float* h_prev_x = height_field + column_index((x + MAP_SIZE - 1) % MAP_SIZE, 0);
    const std::int32_t* heights = column_height + column_index(x, 0);
    auto* out = reinterpret_cast<__m512i*>(color_map + column_index(x, 0) * MAP_DEPTH);  // 2 MiB aligned storage
    for (int y = 0; y < MAP_SIZE; y += 8) {
        // Column 0's y-neighbour is column 511 of the same row.
        const octet prev_y = y == 0 ? _mm512_setr_pd(h[MAP_SIZE - 1], h[0], h[1], h[2], h[3], h[4], h[5], h[6])
                                    : widened(h + y - 1);
        const __m256i zero = _mm256_cmpeq_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(heights + y)),
                                                _mm256_setzero_si256());
        const auto floor = static_cast<__mmask8>(_mm256_movemask_ps(_mm256_castsi256_ps(zero)));
        alignas(32) std::uint32_t words[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(words),
                           column_colours(widened(h + y), widened(h_prev_x + y), prev_y, floor));
        for (const std::uint32_t word : words) {
            const __m512i line = _mm512_set1_epi32(static_cast<int>(word));
            for (int i = 0; i < MAP_DEPTH / 16; ++i) _mm512_store_si512(out++, line);
        }
    }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

}  // namespace

void colour_columns() { colour_columns_with(best_vector_path()); }

namespace {

void colour_row_with(vector_path path, int x) {
#if defined(__x86_64__) || defined(__i386__)
    if (path == vector_path::avx512) {
        colour_row_avx512(x);
        return;
    }
#else
    (void)path;
#endif
    colour_row_baseline(x);
}

}  // namespace

void colour_columns_with(vector_path path) {
    for (int x = 0; x < MAP_SIZE; ++x) colour_row_with(path, x);
}

void colour_columns_of_row(int x) { colour_row_with(best_vector_path(), x); }
