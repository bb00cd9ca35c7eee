#include "numerics/noise_fill.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "numerics/field.h"
#include "numerics/noise_fill_plain.h"
#include "platform/vector_path.h"

namespace {

constexpr int SIDE = 512;
constexpr int ELEMENTS = SIDE * SIDE;

std::uint32_t bits(float v) { return std::bit_cast<std::uint32_t>(v); }

std::vector<float> plain_fill(std::int32_t period_x, std::int32_t period_y, float z, float lo, float hi) {
    std::vector<float> field(ELEMENTS);
    fill_noise_field_plain(field.data(), period_x, period_y, z, lo, hi);
    return field;
}

// Tables lent to a fill, left as a previous fill would: full of what means nothing
// now. One per test program, as a caller keeps one per thread.
noise_fill_tables* lent_tables() {
    static noise_fill_tables* const tables = new noise_fill_tables;
    auto* const words = reinterpret_cast<std::uint32_t*>(tables);
    for (std::size_t i = 0; i < sizeof(noise_fill_tables) / 4; ++i) words[i] = 0x7FC00000u + std::uint32_t(i % 977);
    return tables;
}

// A field that starts as NaN everywhere, so that an element the fill skips shows.
// Every other fill of a path works in lent tables, the rest in tables of its own.
std::vector<float> fast_fill(vector_path path, std::int32_t period_x, std::int32_t period_y, float z, float lo,
                             float hi) {
    static bool lend = false;
    lend = !lend;
    std::vector<float> field(ELEMENTS, std::numeric_limits<float>::quiet_NaN());
    fill_noise_field_fast(path, field.data(), period_x, period_y, z, lo, hi, lend ? lent_tables() : nullptr);
    return field;
}

// "" when both fields hold the same bits everywhere, else where and what first differs.
std::string first_difference(const std::vector<float>& expected, const std::vector<float>& actual) {
    for (int p = 0; p < ELEMENTS; ++p)
        if (bits(expected[p]) != bits(actual[p]))
            return "element (" + std::to_string(p / SIDE) + ", " + std::to_string(p % SIDE) + "): plain " +
                   std::to_string(expected[p]) + ", fast " + std::to_string(actual[p]);
    return "";
}

// Heights: the generator's range ends (0, its smallest step 2^-26, 64), integers
// (z weight 0), a half, inexact fractions, values one float away from a lattice
// plane on either side (a tiny near or far offset), and the top cell, whose far
// plane 256 takes the last permutation entries.
const float HEIGHTS[] = {0.0f,
                         0x1p-26f,
                         0.5f,
                         17.0f,
                         0.3f,
                         29.1668892f,
                         std::nextafter(1.0f, 0.0f),
                         std::nextafter(40.0f, 41.0f),
                         std::nextafter(64.0f, 0.0f),
                         64.0f,
                         255.75f,
                         std::nextafter(256.0f, 0.0f)};

struct Periods {
    std::int32_t x, y;
};
// Every covered period on both axes, and unequal pairs (the bands follow x, the
// lattice cells follow y, so each axis is exercised with wide and narrow cells).
const Periods PERIODS[] = {{8, 8}, {16, 16}, {32, 32}, {64, 64}, {128, 128}, {256, 256},
                           {32, 256}, {256, 32}, {8, 128}, {128, 16}, {64, 256}};

// Spans: the generator's six layers, then a span that is inexact in float, a
// negative one, lo above hi, an empty one, wide ones, and the ends of the float
// range: a subnormal span and one that overflows to infinity (the wide kernels
// halve the span before they scale by it).
struct Span {
    float lo, hi;
};
const Span SPANS[] = {{-0.5f, 0.5f}, {0.0f, 1.0f},      {-1.0f, 0.0f},   {0.0f, 0.2f},    {0.0f, 1.0f / 12},
                      {-7.3f, 12.9f}, {-3.0f, -11.25f}, {5.0f, 2.0f},    {0.7f, 0.7f},    {-1e30f, 1e30f},
                      {1e-20f, 3e-20f}, {0.0f, 0x1p-149f}, {-3e38f, 3e38f}};

// Every path this processor can run; the baseline always.
std::vector<vector_path> runnable_paths() {
    std::vector<vector_path> paths;
    for (vector_path path : {vector_path::baseline, vector_path::avx2, vector_path::avx512})
        if (vector_path_supported(path)) paths.push_back(path);
    return paths;
}

// "" when every runnable path fills exactly the plain fill's bits, else the first
// path and element that differ.
std::string fast_fills_differ(std::int32_t period_x, std::int32_t period_y, float z, float lo, float hi) {
    const std::vector<float> plain = plain_fill(period_x, period_y, z, lo, hi);
    for (vector_path path : runnable_paths()) {
        const std::string difference = first_difference(plain, fast_fill(path, period_x, period_y, z, lo, hi));
        if (!difference.empty()) return std::string(vector_path_name(path)) + " path, " + difference;
    }
    return "";
}

}  // namespace

// The agreement below is only as wide as the paths that ran: say which did not.
TEST(FastNoiseFill, RunsEveryPathThisProcessorHas) {
    for (vector_path path : {vector_path::avx2, vector_path::avx512})
        if (!vector_path_supported(path))
            GTEST_SKIP() << "this processor cannot run the " << vector_path_name(path) << " path; it is not compared here";
    EXPECT_EQ(runnable_paths().size(), 3u);
}

TEST(FastNoiseFill, AgreesWithThePlainFillAtEveryPeriodAndHeight) {
    for (const Periods& p : PERIODS) {
        // The generator's periods at every height, the others at a few.
        const bool used = p.x == p.y && p.x >= 32;
        for (float z : HEIGHTS) {
            if (!used && z != 0.3f && z != 64.0f && z != std::nextafter(1.0f, 0.0f)) continue;
            ASSERT_EQ(fast_fills_differ(p.x, p.y, z, -7.3f, 12.9f), "")
                << "periods " << p.x << ", " << p.y << ", z " << z;
        }
    }
}

TEST(FastNoiseFill, AgreesWithThePlainFillForEverySpan) {
    struct Layer {
        std::int32_t period;
        float z;
    };
    const Layer layers[] = {{32, 0.001f}, {128, 40.25f}, {256, 63.99f}};
    for (const Layer& layer : layers)
        for (const Span& s : SPANS)
            ASSERT_EQ(fast_fills_differ(layer.period, layer.period, layer.z, s.lo, s.hi), "")
                << "period " << layer.period << ", z " << layer.z << ", lo " << s.lo << ", hi " << s.hi;
}

TEST(FastNoiseFill, CoversPowerOfTwoPeriodsFrom8To256AndHeightsBelow256) {
    struct Case {
        std::int32_t period_x, period_y;
        float z;
        bool covered;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {8, 8, 0.0f, true},      {256, 256, 64.0f, true}, {32, 128, 255.9f, true}, {4, 4, 1.0f, false},
        {32, 4, 1.0f, false},    {48, 48, 1.0f, false},   {512, 512, 1.0f, false}, {0, 64, 1.0f, false},
        {-64, -64, 1.0f, false}, {64, 64, -0.5f, false},  {64, 64, 256.0f, false}, {64, 64, nan, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(noise_fill_covers(c.period_x, c.period_y, c.z), c.covered)
            << c.period_x << ", " << c.period_y << ", z " << c.z;
}

// The tables are sized for covered periods: anything else must not reach them.
TEST(FastNoiseFill, LeavesUncoveredArgumentsToThePlainFill) {
    for (std::int32_t period : {2, 4, 48})
        for (vector_path path : runnable_paths())
            ASSERT_EQ(first_difference(plain_fill(period, 64, 1.5f, 0.0f, 1.0f),
                                       fast_fill(path, period, 64, 1.5f, 0.0f, 1.0f)),
                      "")
                << vector_path_name(path) << " path, period " << period;
}

// fill_noise_field takes the fast fill where it can and the plain one elsewhere;
// either way the field is the plain fill's, bit for bit.
TEST(FillNoiseField, IsThePlainFillAtEveryPowerOfTwoPeriodAndBeyond) {
    for (std::int32_t period : {1, 2, 4, 8, 32, 256, 48, 512}) {
        std::vector<float> field(ELEMENTS, std::numeric_limits<float>::quiet_NaN());
        fill_noise_field(field.data(), period, period, 2.625f, 0.0f, 1.0f);
        ASSERT_EQ(first_difference(plain_fill(period, period, 2.625f, 0.0f, 1.0f), field), "") << "period " << period;
    }
}

namespace {

// A field of values that sums can round differently: spread exponents, both signs
// and exact zeros.
std::vector<float> random_field(std::uint32_t seed) {
    std::vector<float> field(ELEMENTS);
    std::uint32_t s = seed;
    for (float& f : field) {
        s = s * 1664525u + 1013904223u;
        const int kind = int(s >> 29);
        const float magnitude = std::ldexp(float((s >> 8) & 0xFFFF) / 65536.0f, int((s >> 4) % 24) - 12);
        f = kind == 0 ? 0.0f : kind < 4 ? magnitude : -magnitude;
    }
    return field;
}

// start with float(weight * src[i] + start[i]) in its first count elements, one at a time.
std::vector<float> widened_sums(std::vector<float> start, const std::vector<float>& src, float weight,
                                std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        start[i] = static_cast<float>(static_cast<double>(weight) * src[i] + start[i]);
    return start;
}

}  // namespace

TEST(FastNoiseFill, WeightedAddsAgreeOnEveryPathWithTheirTails) {
    const std::vector<float> src = random_field(11), start = random_field(12);
    for (float weight : {0.0f, 1.0f, 2.0f, -0.75f, 1e-3f})
        for (std::size_t count : {std::size_t{0}, std::size_t{7}, std::size_t{8}, std::size_t{1001}}) {
            const std::vector<float> expected = widened_sums(start, src, weight, count);
            for (vector_path path : runnable_paths()) {
                std::vector<float> dst = start;
                add_weighted(path, dst.data(), src.data(), weight, count);
                ASSERT_EQ(first_difference(expected, dst), "")
                    << vector_path_name(path) << " path, weight " << weight << ", count " << count;
            }
        }
}

// Weighted sums at the edges of float, on the weights that add as float sums and
// two that do not: full mantissas over every exponent, both zeros, subnormals, the
// largest floats, 2^127 (whose double overflows float), infinities and NaNs, each
// added into each, in whole vectors and in the tails. NaN results are compared as
// NaN: which operand's payload a scalar sum keeps is the compiler's choice.
TEST(FastNoiseFill, FloatSumsAreTheWidenedSumsAtTheEdgesOfFloat) {
    constexpr float big = std::numeric_limits<float>::max(), tiny = std::numeric_limits<float>::denorm_min();
    std::vector<float> values = {0.0f,  -0.0f, tiny,       -tiny,       0x1p-126f, 1.0f, -1.5f,
                                 big,   -big,  0x1p127f,   -0x1.8p127f, 0x1.fffffep126f,
                                 std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                                 std::numeric_limits<float>::quiet_NaN()};
    std::uint32_t s = 99;
    for (int i = 0; i < 49; ++i) {  // any sign, exponent and mantissa, NaNs and infinities left out
        s = s * 1664525u + 1013904223u;
        values.push_back(std::bit_cast<float>((s & 0x807FFFFFu) | (((s >> 23) % 254 + 1) << 23)));
    }
    std::vector<float> src, start;
    for (float a : values)
        for (float b : values) src.push_back(a), start.push_back(b);
    for (float weight : {1.0f, 2.0f, 3.0f, 0.75f})
        for (std::size_t count : {src.size(), src.size() - 13}) {
            const std::vector<float> expected = widened_sums(start, src, weight, count);
            for (vector_path path : runnable_paths()) {
                std::vector<float> dst = start;
                add_weighted(path, dst.data(), src.data(), weight, count);
                for (std::size_t i = 0; i < src.size(); ++i)
                    ASSERT_TRUE(bits(dst[i]) == bits(expected[i]) || (std::isnan(dst[i]) && std::isnan(expected[i])))
                        << vector_path_name(path) << " path, weight " << weight << ": " << src[i] << " into " << start[i]
                        << " gives " << dst[i] << ", not " << expected[i];
            }
        }
}

// Adding a layer in as it is made gives the bits of the layer made whole and then
// added (and of the sum then added into a total): on every path, at every period
// pair (bands of one and of two rows), at the generator's heights and spans, and
// where the plain fill takes over.
TEST(FastNoiseFill, AddingInAsItIsMadeIsFillingThenAdding) {
    const std::vector<float> start = random_field(13), total_start = random_field(14);
    struct Layer {
        std::int32_t period_x, period_y;
        float z, lo, hi;
    };
    std::vector<Layer> layers = {{128, 128, 0.3f, 0.0f, 1.0f}, {256, 256, 63.99f, -1.0f, 0.0f},
                                 {32, 32, 17.0f, 0.0f, 1.0f / 12}, {48, 64, 1.5f, 0.0f, 1.0f},
                                 {4, 4, 2.5f, -0.5f, 0.5f}};
    for (const Periods& p : PERIODS) layers.push_back({p.x, p.y, 29.1668892f, -7.3f, 12.9f});
    for (const Layer& l : layers) {
        std::vector<float> expected = start;
        const std::vector<float> layer = plain_fill(l.period_x, l.period_y, l.z, l.lo, l.hi);
        add_weighted(vector_path::baseline, expected.data(), layer.data(), 1, expected.size());
        // ... and the sum then added into a total, row by row as it is complete.
        std::vector<float> expected_total = total_start;
        add_weighted(vector_path::baseline, expected_total.data(), expected.data(), 2, expected.size());
        for (vector_path path : runnable_paths()) {
            std::vector<float> field = start;
            add_noise_field_fast(path, field.data(), l.period_x, l.period_y, l.z, l.lo, l.hi);
            ASSERT_EQ(first_difference(expected, field), "")
                << vector_path_name(path) << " path, periods " << l.period_x << ", " << l.period_y << ", z " << l.z;
            std::vector<float> total = total_start;
            field = start;
            add_noise_field_fast(path, field.data(), l.period_x, l.period_y, l.z, l.lo, l.hi, total.data(), 2,
                                 lent_tables());
            ASSERT_EQ(first_difference(expected, field), "") << vector_path_name(path) << " path, with a total";
            ASSERT_EQ(first_difference(expected_total, total), "")
                << vector_path_name(path) << " path, the total, periods " << l.period_x << ", " << l.period_y;
        }
    }
}

// Lent tables lie in the caller's memory, next to whatever it keeps there: at
// every period pair, on every path, filling and adding with a total, a fill writes
// within them and nowhere around them.
TEST(FastNoiseFill, LentTablesAreWrittenWithinThemOnly) {
    constexpr std::size_t GUARD = 4096;
    std::vector<std::uint8_t> memory(GUARD + sizeof(noise_fill_tables) + GUARD + 64);
    std::uint8_t* const first = memory.data() + (64 - reinterpret_cast<std::uintptr_t>(memory.data()) % 64);
    std::fill(memory.begin(), memory.end(), std::uint8_t{0xA7});
    auto* const tables = reinterpret_cast<noise_fill_tables*>(first + GUARD);
    const auto untouched = [&] {
        return std::all_of(memory.data(), first + GUARD, [](std::uint8_t b) { return b == 0xA7; }) &&
               std::all_of(first + GUARD + sizeof(noise_fill_tables), memory.data() + memory.size(),
                           [](std::uint8_t b) { return b == 0xA7; });
    };
    std::vector<float> field(ELEMENTS), total(ELEMENTS);
    for (vector_path path : runnable_paths())
        for (const Periods& p : PERIODS) {
            fill_noise_field_fast(path, field.data(), p.x, p.y, 17.0f, 0.0f, 1.0f, tables);
            add_noise_field_fast(path, field.data(), p.x, p.y, 0.3f, -1.0f, 0.0f, total.data(), 2, tables);
            ASSERT_TRUE(untouched()) << vector_path_name(path) << " path, periods " << p.x << ", " << p.y;
        }
}
