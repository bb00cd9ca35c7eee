#include "numerics/field.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "numerics/noise.h"

namespace {

constexpr int SIDE = 512;
constexpr int ELEMENTS = SIDE * SIDE;

std::uint32_t bits(float v) { return std::bit_cast<std::uint32_t>(v); }

std::vector<float> filled(std::int32_t period, float z, float lo, float hi) {
    std::vector<float> field(ELEMENTS);
    fill_noise_field(field.data(), period, period, z, lo, hi);
    return field;
}

// The noise that element (i, j) samples: sample i sits at i * period / 512.
double noise_at(int i, int j, std::int32_t period, float z) {
    const float step = static_cast<float>(period * 0.001953125);
    return gradient_noise(static_cast<float>(i * double(step)), static_cast<float>(j * double(step)), z, period, period, 0);
}

// How a noise value becomes a field value, and the ways of getting it subtly wrong.
enum class Mapping { correct, unrounded_span, exact_five_sixths, noise_as_float, float_arithmetic };
const char* const mapping_names[] = {"correct", "unrounded_span", "exact_five_sixths", "noise_as_float",
                                     "float_arithmetic"};

float map_noise(double n, float lo, float hi, Mapping how) {
    const float k = 0.8333333134651184f;
    const float span = static_cast<float>(double(hi) - lo);
    switch (how) {
        case Mapping::correct: return static_cast<float>(((n * k + 1) * 0.5) * span + lo);
        case Mapping::unrounded_span: return static_cast<float>(((n * k + 1) * 0.5) * (double(hi) - lo) + lo);
        case Mapping::exact_five_sixths: return static_cast<float>(((n * (5.0 / 6.0) + 1) * 0.5) * span + lo);
        case Mapping::noise_as_float: return static_cast<float>(((double(float(n)) * k + 1) * 0.5) * span + lo);
        case Mapping::float_arithmetic: return ((float(n) * k + 1.0f) * 0.5f) * (hi - lo) + lo;
    }
    return 0;
}

}  // namespace

TEST(FillNoiseField, KnownValueAtColumn4_4) {
    const auto field = filled(64, 0.5f, -0.5f, 0.5f);
    // The noise there is -0.5, so the value is -0.25 * float(5/6).
    EXPECT_EQ(bits(field[4 * 512 + 4]), bits(-0.2083333283662796f));
    EXPECT_EQ(static_cast<double>(field[4 * 512 + 4]), -0.2083333283662796);
}

TEST(FillNoiseField, LatticeColumnsAtIntegerHeightSitMidSpan) {
    struct Case {
        float z, lo, hi, middle;
    };
    const Case cases[] = {{0.0f, -0.5f, 0.5f, 0.0f}, {3.0f, -0.5f, 0.5f, 0.0f}, {17.0f, 10.0f, 20.0f, 15.0f}};
    for (const Case& c : cases) {
        const auto field = filled(64, c.z, c.lo, c.hi);
        for (int i = 0; i < SIDE; i += 8)      // period 64: x is an integer every 8 samples
            for (int j = 0; j < SIDE; j += 8)
                ASSERT_EQ(field[i * SIDE + j], c.middle) << i << ", " << j << " z " << c.z;
    }
}

// Every element equals the mapped noise at its sample point, for every period the
// generator uses; the mapping is checked element for element against each way of
// misplacing a rounding point, and each of those changes some element.
TEST(FillNoiseField, EveryElementIsTheMappedNoiseAtItsSample) {
    const float z = 0.3f, lo = -7.3f, hi = 12.9f;  // a span that is not exact in float
    for (std::int32_t period : {32, 64, 128, 256}) {
        const auto field = filled(period, z, lo, hi);
        int differing[5] = {};
        for (int i = 0; i < SIDE; ++i)
            for (int j = 0; j < SIDE; ++j) {
                const double n = noise_at(i, j, period, z);
                const float stored = field[i * SIDE + j];
                ASSERT_EQ(bits(stored), bits(map_noise(n, lo, hi, Mapping::correct)))
                    << i << ", " << j << " period " << period;
                for (int how = 1; how < 5; ++how) differing[how] += map_noise(n, lo, hi, Mapping(how)) != stored;
            }
        for (int how = 1; how < 5; ++how) EXPECT_GT(differing[how], 0) << mapping_names[how] << ", period " << period;
    }
}

// One step past the last sample on an axis is one whole period, where the noise
// repeats the value that produced sample 0: the field joins its opposite edge.
TEST(FillNoiseField, TilesAcrossOnePeriod) {
    const float z = 5.71f, lo = -1.0f, hi = 1.0f;
    for (std::int32_t period : {32, 64, 128, 256}) {
        const auto field = filled(period, z, lo, hi);
        const float step = static_cast<float>(period * 0.001953125);
        const float past_last = static_cast<float>(512 * double(step));
        ASSERT_EQ(past_last, static_cast<float>(period));
        for (int k = 0; k < SIDE; ++k) {
            const float along = static_cast<float>(k * double(step));
            const double next_row = gradient_noise(past_last, along, z, period, period, 0);  // i = 512, j = k
            const double next_col = gradient_noise(along, past_last, z, period, period, 0);  // i = k, j = 512
            ASSERT_EQ(bits(map_noise(next_row, lo, hi, Mapping::correct)), bits(field[0 * SIDE + k])) << period;
            ASSERT_EQ(bits(map_noise(next_col, lo, hi, Mapping::correct)), bits(field[k * SIDE + 0])) << period;
        }
    }
}

TEST(FillNoiseField, OverwritesWhateverTheFieldHeld) {
    std::vector<float> dirty(ELEMENTS, std::numeric_limits<float>::quiet_NaN());
    fill_noise_field(dirty.data(), 128, 128, 40.25f, 0.0f, 3.0f);
    const auto clean = filled(128, 40.25f, 0.0f, 3.0f);
    for (int p = 0; p < ELEMENTS; ++p) ASSERT_EQ(bits(dirty[p]), bits(clean[p])) << p;
}

TEST(AddField, AddsWeightedSourceRoundingOnceToFloat) {
    struct Case {
        float dst, src, weight;
    };
    // Each case rounds differently if the product is rounded to float on its own.
    const Case cases[] = {{-0.2f, 0.7f, 0.1f}, {1.0f, -3.3f, 0.3f}, {7.7f, 0.7f, 3.0f}};
    for (const Case& c : cases) {
        std::vector<float> dst(ELEMENTS, c.dst), src(ELEMENTS, c.src);
        add_field(dst.data(), src.data(), c.weight);
        const float once = static_cast<float>(double(c.weight) * c.src + c.dst);
        const float twice = c.weight * c.src + c.dst;  // float arithmetic: product rounded first
        ASSERT_NE(bits(once), bits(twice));
        EXPECT_EQ(bits(dst[0]), bits(once));
        EXPECT_EQ(bits(dst[ELEMENTS - 1]), bits(once));
    }
}

TEST(AddField, WeightsOfZeroOneAndTwo) {
    std::vector<float> src(ELEMENTS), base(ELEMENTS);
    for (int p = 0; p < ELEMENTS; ++p) {
        src[p] = static_cast<float>(p % 1000) * 0.013f - 6.0f;
        base[p] = static_cast<float>(p % 777) * 0.25f;
    }
    const auto src_before = src;
    for (float weight : {0.0f, 1.0f, 2.0f}) {
        auto dst = base;
        add_field(dst.data(), src.data(), weight);
        for (int p = 0; p < ELEMENTS; ++p) {
            const float expected = weight == 0.0f ? base[p] : static_cast<float>(double(weight) * src[p] + base[p]);
            ASSERT_EQ(dst[p], expected) << "position " << p << ", weight " << weight;
        }
    }
    for (int p = 0; p < ELEMENTS; ++p) ASSERT_EQ(bits(src[p]), bits(src_before[p])) << "source written at " << p;
}

// Fills at the generator's four periods, recorded from unoptimised builds of GCC
// and Clang and checked against optimised ones (FNV-1a over the stored bytes). A
// mismatch means maps change: a moved rounding point, or an optimiser that dropped one.
TEST(FillNoiseField, MatchesTheRecordedFingerprint) {
    struct Layer {
        std::int32_t period;
        float z;
    };
    const Layer layers[] = {{32, 0.001f}, {64, 0.17505042f}, {128, 29.1668892f}, {256, 63.99f}};
    std::uint64_t hash = 0xCBF29CE484222325u;
    for (const Layer& layer : layers) {
        for (float v : filled(layer.period, layer.z, -7.3f, 12.9f)) {
            const std::uint32_t b = bits(v);
            for (int i = 0; i < 4; ++i) hash = (hash ^ ((b >> (8 * i)) & 0xFF)) * 0x100000001B3u;
        }
    }
    EXPECT_EQ(hash, 0x3CAC4235D6E66077u);
}
