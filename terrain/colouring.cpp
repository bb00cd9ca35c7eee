#include "terrain/colouring.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "terrain/vector_path.h"
#include "terrain/volume.h"

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

// ---- the whole map, two columns per step

namespace {

#if defined(__SSE2__)

// Two columns side by side, one per double lane. Each operation below is the
// IEEE operation of column_colour in the same order (no fused multiply-add, none
// regrouped), so each lane gets exactly column_colour's bits. Rounding to float is
// a round trip through single precision; truncation is cvttpd2dq, exact for the
// small values it meets here.

__m128d round_to_float(__m128d v) { return _mm_cvtps_pd(_mm_cvtpd_ps(v)); }
__m128d truncated(__m128d v) { return _mm_cvtepi32_pd(_mm_cvttpd_epi32(v)); }
__m128d clamped01(__m128d v) { return _mm_min_pd(_mm_max_pd(v, _mm_setzero_pd()), _mm_set1_pd(1)); }
__m128d times(__m128d a, double b) { return _mm_mul_pd(a, _mm_set1_pd(b)); }
__m128d plus(__m128d a, double b) { return _mm_add_pd(a, _mm_set1_pd(b)); }

// smoothstep01 of two values that are floats already. Clamping first gives the
// same result: the polynomial is exactly 0 at 0 and exactly 1 at 1. (A -0 input
// becomes +0 here where smoothstep01 keeps it; the sign never shows in a colour.)
__m128d smoothstep01_x2(__m128d t) {
    const __m128d c = clamped01(t);
    const __m128d c2 = _mm_mul_pd(c, c);
    return _mm_sub_pd(times(c2, 3), _mm_mul_pd(_mm_set1_pd(2), _mm_mul_pd(c2, c)));
}

// (120 - channel0) * ts + channel0, truncated.
__m128d toward_grey(__m128d channel0, __m128d ts) {
    return truncated(_mm_add_pd(_mm_mul_pd(_mm_sub_pd(_mm_set1_pd(GREY), channel0), ts), channel0));
}

// column_colour of two columns: heights h, x-1 and y-1 neighbours, and a mask that
// is all ones in the lanes of floor columns. Returns the two words in the low half.
__m128i column_colours_x2(__m128d hd, __m128d h_prev_x, __m128d h_prev_y, __m128d floor) {
    // Raised columns.
    const __m128d th = round_to_float(smoothstep01_x2(round_to_float(times(plus(hd, -4), double(HEIGHT_SCALE)))));
    const __m128d gx = round_to_float(_mm_sub_pd(hd, h_prev_x));
    const __m128d gy = _mm_sub_pd(hd, h_prev_y);
    const __m128d s2 = round_to_float(_mm_add_pd(_mm_mul_pd(gy, gy), _mm_mul_pd(gx, gx)));
    const __m128d ts = round_to_float(smoothstep01_x2(round_to_float(times(s2, 0.625))));
    // min/max instead of std::clamp: they differ only in the sign of a zero q,
    // and 0.3 comes out of either.
    const __m128d q = clamped01(_mm_div_pd(plus(times(gx, LIGHT_X), LIGHT_Z), _mm_sqrt_pd(plus(s2, 1))));
    const __m128d m = clamped01(plus(times(q, double(LIGHT_WEIGHT)), AMBIENT));
    const __m128d red_r = toward_grey(truncated(plus(times(th, 76), 144)), ts);
    const __m128d green_r = toward_grey(truncated(plus(times(th, 60), 160)), ts);
    const __m128d blue_r = toward_grey(truncated(plus(times(th, 116), 104)), ts);

    // Floor columns.
    const __m128d k = clamped01(_mm_sub_pd(_mm_set1_pd(1), times(plus(hd, 0.5), 1.0 / 3)));
    const __m128d red_f = truncated(_mm_sub_pd(_mm_set1_pd(144), _mm_mul_pd(_mm_set1_pd(14), k)));
    const __m128d green_f = truncated(plus(times(k, 10), 160));
    const __m128d blue_f = truncated(plus(times(k, 96), 104));

    auto pick = [floor](__m128d if_floor, __m128d if_raised) {
        return _mm_or_pd(_mm_and_pd(floor, if_floor), _mm_andnot_pd(floor, if_raised));
    };
    const __m128d multiplier = pick(_mm_set1_pd(1), m);
    const __m128i red = _mm_cvttpd_epi32(_mm_mul_pd(pick(red_f, red_r), multiplier));
    const __m128i green = _mm_cvttpd_epi32(_mm_mul_pd(pick(green_f, green_r), multiplier));
    const __m128i blue = _mm_cvttpd_epi32(_mm_mul_pd(pick(blue_f, blue_r), multiplier));
    const __m128i word = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(red, 16), _mm_slli_epi32(green, 8)), blue);
    return _mm_or_si128(word, _mm_set1_epi32(static_cast<int>(0x80000000u)));
}

// Two adjacent floats as doubles.
__m128d widened_pair(const float* p) {
    return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}

// Colours all columns of row x. Each pair's 128 words are streamed out as soon as
// they are known: the stores drain to memory while the next pair is computed, which
// hides most of the arithmetic behind the memory traffic. (A row computed first and
// stored afterwards takes a quarter longer.) Streaming stores send the lines to
// memory without reading them first; nothing reads them before the writer.
void colour_row(int x) {
    const float* h = height_field + column_index(x, 0);
    const float* h_prev_x = height_field + column_index((x + MAP_SIZE - 1) % MAP_SIZE, 0);
    const std::int32_t* heights = column_height + column_index(x, 0);
    auto* out = reinterpret_cast<__m128i*>(color_map + column_index(x, 0) * MAP_DEPTH);  // 2 MiB aligned storage
    for (int y = 0; y < MAP_SIZE; y += 2) {
        // Column 0's y-neighbour is column 511 of the same row.
        const __m128d prev_y = y == 0 ? _mm_setr_pd(h[MAP_SIZE - 1], h[0]) : widened_pair(h + y - 1);
        const __m128i zero_height = _mm_cmpeq_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(heights + y)),
                                                    _mm_setzero_si128());
        const __m128d floor = _mm_castsi128_pd(_mm_unpacklo_epi32(zero_height, zero_height));
        const __m128i pair = column_colours_x2(widened_pair(h + y), widened_pair(h_prev_x + y), prev_y, floor);
        for (const __m128i word : {_mm_shuffle_epi32(pair, 0x00), _mm_shuffle_epi32(pair, 0x55)})
            for (int i = 0; i < MAP_DEPTH / 4; ++i) _mm_stream_si128(out++, word);
    }
}

#else

void colour_row(int x) {
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

}  // namespace

void colour_columns() { colour_columns_with(best_vector_path()); }

void colour_columns_with(vector_path path) {
    for (int x = 0; x < MAP_SIZE; ++x) {
#if defined(__x86_64__) || defined(__i386__)
        if (path == vector_path::avx512) {
            colour_row_avx512(x);
            continue;
        }
#endif
        colour_row(x);
    }
#if defined(__SSE2__)
    _mm_sfence();  // the streamed lines are visible before anything reads them
#endif
}
