#include "numerics/noise.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

namespace {

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }
std::uint32_t bits(float v) { return std::bit_cast<std::uint32_t>(v); }

// ---- a plain reference evaluation, with any one rounding point switchable off

// Rounds to float through a real float store. GCC 12.2 at -O2 and above, when it
// vectorises double(float(double(f) - d)) across neighbouring statements (f a float,
// d a double not known at compile time), drops the rounding. The per-axis loop of
// the reference has exactly that shape; the volatile store keeps it honest.
double through_float(double v) {
    volatile float rounded = static_cast<float>(v);
    return rounded;
}

// The points at which the noise rounds an intermediate value to float.
enum class RoundingPoint { none, cell_offset, fade, far_offset, corner, x_blend, y_blend };
const char* const rounding_point_names[] = {"none",   "cell_offset", "fade",   "far_offset",
                                            "corner", "x_blend",     "y_blend"};

// The noise written as loops over axes and corners, all in double; every rounding
// point goes through at(), which skips the one named by `skipped`. With nothing
// skipped it must agree with gradient_noise bit for bit; with one point skipped
// it shows that the inputs of the test below really depend on that point.
double reference_noise(float x, float y, float z, std::int32_t period_x, std::int32_t period_y,
                       std::int32_t period_z, RoundingPoint skipped = RoundingPoint::none) {
    auto at = [&](RoundingPoint point, double v) { return point == skipped ? v : through_float(v); };
    auto mask_of = [](std::int32_t period) { return period >= 256 ? 255 : period - 1; };
    auto blend = [](double a, double b, double t) { return (b - a) * t + a; };

    const double coordinate[3] = {x, y, z};
    const std::int32_t mask[3] = {mask_of(period_x), mask_of(period_y), mask_of(period_z)};
    double near[3], far[3], weight[3];
    std::int32_t lattice[3][2];
    for (int a = 0; a < 3; ++a) {
        const auto cell = static_cast<std::int32_t>(std::floor(coordinate[a]));
        near[a] = at(RoundingPoint::cell_offset, coordinate[a] - cell);
        far[a] = at(RoundingPoint::far_offset, near[a] - 1);
        const double t = near[a];
        weight[a] = at(RoundingPoint::fade, ((((t * 6 - 15) * t + 10) * t) * t) * t);
        lattice[a][0] = cell & mask[a];
        lattice[a][1] = (cell + 1) & mask[a];
    }

    const std::int32_t* P = noise_permutation;
    double corner[2][2][2];
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            for (int k = 0; k < 2; ++k) {
                const std::int32_t hash = P[P[P[lattice[0][i]] + lattice[1][j]] + lattice[2][k]];
                const float* g = gradient_vectors[gradient_select[hash & 63]];
                const double dx = i ? far[0] : near[0], dy = j ? far[1] : near[1], dz = k ? far[2] : near[2];
                corner[i][j][k] = at(RoundingPoint::corner, (dy * g[1] + dz * g[2]) + dx * g[0]);
            }
    double along_x[2][2], along_y[2];
    for (int j = 0; j < 2; ++j)
        for (int k = 0; k < 2; ++k)
            along_x[j][k] = at(RoundingPoint::x_blend, blend(corner[0][j][k], corner[1][j][k], weight[0]));
    for (int k = 0; k < 2; ++k) along_y[k] = at(RoundingPoint::y_blend, blend(along_x[0][k], along_x[1][k], weight[1]));
    return blend(along_y[0], along_y[1], weight[2]);
}

struct Point {
    float x, y, z;
};

// A fixed scatter of points: lattice cells of every sign, offsets with few bits (as
// a field fill makes them) along x and with all 24 bits along y, heights 0..64.
Point scatter(int n) {
    const float x = static_cast<float>((n * 7919) % 20011) * 0.03125f - 300.0f;
    const float y = static_cast<float>((n * 104729) % 19997) * 0.0137f - 130.0f;
    const float z = static_cast<float>((n * 3301) % 6400) * 0.0099f;
    return {x, y, z};
}

// The point moved to a multiple of 1/1024, so that adding whole periods (up to
// 1024) to a coordinate stays exact in float.
Point coarse(Point p) {
    auto snap = [](float v) { return std::ldexp(std::round(std::ldexp(v, 10)), -10); };
    return {snap(p.x), snap(p.y), snap(p.z)};
}

// FNV-1a over the bytes of a double, least significant first.
void fingerprint(std::uint64_t& hash, double v) {
    const std::uint64_t b = bits(v);
    for (int i = 0; i < 8; ++i) hash = (hash ^ ((b >> (8 * i)) & 0xFF)) * 0x100000001B3u;
}

}  // namespace

// ---- values every implementation must reproduce

TEST(GradientNoise, KnownValuesAreExact) {
    struct Case {
        float x, y, z;
        double expected;
    };
    const Case cases[] = {
        {0.5f, 0.5f, 0.5f, -0.5},
        {1.25f, 2.75f, 3.5f, 0.41872119903564453},
        {0.25f, 0.5f, 1.5f, -0.2801513671875},
        {64.25f, 0.5f, 1.5f, -0.2801513671875},  // one period along x
        {0.25f, 64.5f, 1.5f, -0.2801513671875},  // one period along y
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bits(gradient_noise(c.x, c.y, c.z, 64, 64, 0)), bits(c.expected))
            << c.x << ", " << c.y << ", " << c.z << " gave " << gradient_noise(c.x, c.y, c.z, 64, 64, 0);
    }
}

TEST(GradientNoise, IsExactlyZeroAtEveryLatticePoint) {
    for (std::int32_t period : {0, 32, 64, 256})
        for (int x = 0; x < 80; x += 3)
            for (int y = 0; y < 80; y += 5)
                for (int z = 0; z <= 64; z += 7)
                    ASSERT_EQ(gradient_noise(float(x), float(y), float(z), period, period, 0), 0.0)
                        << x << ", " << y << ", " << z << " period " << period;
}

TEST(Fade, KnownValuesAreExact) {
    const float t[] = {0.0f, 0.5f, 0.25f, 1.0f};
    const float expected[] = {0.0f, 0.5f, 0.103515625f, 1.0f};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(bits(fade(t[i])), bits(expected[i])) << "t " << t[i];
}

// The polynomial is evaluated in double and rounded once. At t = 0.002 evaluating
// it in float arithmetic would change the last bit.
TEST(Fade, RoundsOnceAfterTheDoubleEvaluation) {
    const float t = 0.002f;
    const float s = t;
    const float all_float = ((((s * 6.0f - 15.0f) * s + 10.0f) * s) * s) * s;
    const float rounded_once = 0x1.569146p-24f;
    ASSERT_NE(bits(all_float), bits(rounded_once));
    EXPECT_EQ(bits(fade(t)), bits(rounded_once));
}

TEST(Lerp, IsDifferenceTimesTPlusStart) {
    EXPECT_EQ(lerp(2.0f, 6.0f, 0.25f), 3.0);
    EXPECT_EQ(lerp(-1.0f, 1.0f, 0.0f), -1.0);
    // Halfway between 1 and the next float lies no float: the blend stays double.
    EXPECT_EQ(bits(lerp(1.0f, 0x1.000002p0f, 0.5f)), bits(0x1.000001p0));
}

TEST(GradientDot, UsesOnlyTheLowSixBitsOfTheHash) {
    for (std::int32_t hash : {0, 11, 12, 15, 37, 63}) {
        const double expected = gradient_dot(hash, 0.25f, 0.5f, 0.125f);
        EXPECT_EQ(gradient_dot(hash + 64, 0.25f, 0.5f, 0.125f), expected) << hash;
        EXPECT_EQ(gradient_dot(hash + 640, 0.25f, 0.5f, 0.125f), expected) << hash;
        EXPECT_EQ(gradient_dot(hash - 1024, 0.25f, 0.5f, 0.125f), expected) << hash;
    }
}

// ---- periods and wrapping

TEST(GradientNoise, RepeatsAfterOnePeriodOnEachWrappedAxis) {
    for (std::int32_t period : {1, 2, 32, 64, 128, 256}) {
        for (int n = 0; n < 200; ++n) {
            const Point p = coarse(scatter(n));
            const double here = gradient_noise(p.x, p.y, p.z, period, period, 0);
            const float shift = static_cast<float>(period);
            ASSERT_EQ(bits(gradient_noise(p.x + shift, p.y, p.z, period, period, 0)), bits(here)) << period;
            ASSERT_EQ(bits(gradient_noise(p.x, p.y - shift, p.z, period, period, 0)), bits(here)) << period;
            ASSERT_EQ(bits(gradient_noise(p.x, p.y, p.z + 3 * shift, period, period, period)),
                      bits(gradient_noise(p.x, p.y, p.z, period, period, period)))
                << period;
        }
    }
}

TEST(GradientNoise, PeriodsOf256AndMoreAllActAs256) {
    for (int n = 0; n < 500; ++n) {
        const Point p = scatter(n);
        const double at_256 = gradient_noise(p.x, p.y, p.z, 256, 256, 256);
        EXPECT_EQ(bits(gradient_noise(p.x, p.y, p.z, 1000, 1000, 1000)), bits(at_256));
        EXPECT_EQ(bits(gradient_noise(p.x, p.y, p.z, 257, 4096, INT32_MAX)), bits(at_256));
    }
}

// Period 0 leaves an axis unwrapped; over cells 0..255 that is the same lattice as
// period 256 (the doubled permutation absorbs the step from cell 255 to 256).
TEST(GradientNoise, UnwrappedAxisMatchesPeriod256OverCells0To255) {
    for (float x : {0.5f, 17.25f, 128.75f, 254.5f, 255.125f, 255.9375f})
        for (float z : {0.0f, 0.3f, 63.7f, 64.0f})
            EXPECT_EQ(bits(gradient_noise(x, 3.5f, z, 0, 64, 0)), bits(gradient_noise(x, 3.5f, z, 256, 64, 256)));
    // Unwrapped really means unwrapped: cell 70 is not cell 6.
    EXPECT_NE(gradient_noise(70.3f, 3.7f, 0.45f, 0, 64, 0), gradient_noise(70.3f, 3.7f, 0.45f, 64, 64, 0));
}

// The wrap is a bitwise AND with period - 1: with period 48 (mask 47) cell 48 wraps
// to 32, not to 0 as a remainder would, so such a period does not tile.
TEST(GradientNoise, PeriodThatIsNotAPowerOfTwoMasksRatherThanWraps) {
    const double at_48 = gradient_noise(48.5f, 5.25f, 0.75f, 48, 48, 0);
    EXPECT_EQ(bits(at_48), bits(gradient_noise(32.5f, 5.25f, 0.75f, 48, 48, 0)));
    EXPECT_NE(at_48, gradient_noise(0.5f, 5.25f, 0.75f, 48, 48, 0));
}

// floor, not truncation: -0.75 lies in cell -1, which period 64 wraps to cell 63.
TEST(GradientNoise, NegativeCoordinatesUseFloorAndWrap) {
    EXPECT_EQ(bits(gradient_noise(-0.75f, 2.5f, 1.5f, 64, 64, 0)), bits(gradient_noise(63.25f, 2.5f, 1.5f, 64, 64, 0)));
    EXPECT_EQ(bits(gradient_noise(3.5f, -100.125f, 1.5f, 64, 64, 0)), bits(gradient_noise(3.5f, 27.875f, 1.5f, 64, 64, 0)));
}

// Just below a lattice plane the offset x - floor(x) = 1 - 1e-9 rounds to 1.0f, and
// the far offset to 0: the value is exactly that on the plane.
TEST(GradientNoise, CoordinateJustBelowAPlaneRoundsOntoIt) {
    EXPECT_EQ(bits(gradient_noise(-1e-9f, 2.5f, 1.5f, 64, 64, 0)), bits(gradient_noise(0.0f, 2.5f, 1.5f, 64, 64, 0)));
}

// ---- rounding points

TEST(GradientNoise, AgreesBitForBitWithThePlainReference) {
    for (int n = 0; n < 20000; ++n) {
        const Point p = scatter(n);
        for (std::int32_t period : {32, 256}) {
            ASSERT_EQ(bits(gradient_noise(p.x, p.y, p.z, period, period, 0)),
                      bits(reference_noise(p.x, p.y, p.z, period, period, 0)))
                << p.x << ", " << p.y << ", " << p.z << " period " << period;
        }
    }
}

// Each rounding point in its place matters: for every point, some input below gives
// a different value when only that point is left out, and the noise gives the value
// with every point in place. The first input needs all six (its negative x makes the
// cell offset inexact); the others are inputs like those of a field fill.
TEST(GradientNoise, EveryRoundingPointChangesSomeValue) {
    const Point inputs[] = {
        {-0.1f, 1.5f, 0.05f},
        {38.75f, 51.25f, 0x1.d2ab94p+4f},
        {57.5f, 30.0f, 0x1.6680d6p-3f},
        {13.375f, 10.75f, 0x1.f7107ap-3f},
        {56.125f, 56.75f, 0x1.aac56ap+4f},
        {54.875f, 2.875f, 0x1.38743p+3f},
    };
    for (const Point& p : inputs)
        ASSERT_EQ(bits(gradient_noise(p.x, p.y, p.z, 64, 64, 0)), bits(reference_noise(p.x, p.y, p.z, 64, 64, 0)));

    for (int point = int(RoundingPoint::cell_offset); point <= int(RoundingPoint::y_blend); ++point) {
        int inputs_that_notice = 0;
        for (const Point& p : inputs) {
            const double all_in_place = reference_noise(p.x, p.y, p.z, 64, 64, 0);
            inputs_that_notice += reference_noise(p.x, p.y, p.z, 64, 64, 0, RoundingPoint(point)) != all_in_place;
        }
        EXPECT_GT(inputs_that_notice, 0) << "no input depends on rounding point " << rounding_point_names[point];
    }
}

// Recorded from unoptimised builds of GCC and Clang and checked against optimised
// ones. A mismatch means that some noise values changed bits, and every map with
// them: a moved rounding point, or an optimiser that dropped one.
TEST(GradientNoise, MatchesTheRecordedFingerprint) {
    std::uint64_t hash = 0xCBF29CE484222325u;
    for (int n = 0; n < 20000; ++n) {
        const Point p = scatter(n);
        fingerprint(hash, gradient_noise(p.x, p.y, p.z, 32, 256, 0));
    }
    EXPECT_EQ(hash, 0xB69A897154FAC69Cu);
}
