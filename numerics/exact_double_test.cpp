#include "numerics/exact_double.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>

namespace {

// Each expression is written as the map's code writes its own: in one statement,
// so that a build that keeps intermediates wider (the x87 unit), fuses a * b + c,
// reorders (fast-math) or flushes small results to zero gets it wrong. The inputs
// pass through volatile, so the target's arithmetic answers, not the compiler's
// constant folding.
double sum(double a, double b, double c) { return a + b + c; }
double product_plus(double a, double b, double c) { return a * b + c; }
double product_over(double a, double b, double c) { return a * b / c; }
double product_times(double a, double b, double c) { return a * b * c; }
double sum_less_first(double a, double b, double c) { return (a + b) - a + c; }
double sum_to_float(double a, double b, double) { return static_cast<float>(a + b); }

struct arithmetic_case {
    const char* what;
    double (*expression)(double, double, double);
    double a, b, c;
    double expected;
};

const arithmetic_case arithmetic_cases[] = {
    // 1 + 2^-53 is a tie and rounds to 1, twice; kept wide it becomes 1 + 2^-52.
    {"sum rounds after each addition", sum, 1.0, 0x1p-53, 0x1p-53, 1.0},
    // (1 + 2^-27)(1 - 2^-27) = 1 - 2^-54 rounds to 1; fused, the result is -2^-54.
    {"product rounds before the addition", product_plus, 1.0 + 0x1p-27, 1.0 - 0x1p-27, -1.0, 0.0},
    // 2^1025 is beyond double: infinite, even when divided back into range.
    {"product overflows to infinity", product_over, 0x1p1023, 4.0, 4.0, std::numeric_limits<double>::infinity()},
    // (1 + 2^-52) 2^-1070 is subnormal and keeps only 2^-1070; flushed, it is 0.
    {"subnormal product loses its low bits", product_times, 0x1.0000000000001p-1000, 0x1p-70, 0x1p70, 0x1p-1000},
    // 2^53 + 1 rounds to 2^53 (a tie, to even), so nothing is left of the 1.
    {"sum keeps its rounding when the first term is taken away", sum_less_first, 0x1p53, 1.0, 0.0, 0.0},
    // 1 + 2^-24 + 2^-60 is 1 + 2^-24 in double, a tie for float that rounds to 1;
    // rounded straight to float from a wider value it would be 1 + 2^-23.
    {"float is rounded from the double result", sum_to_float, 1.0 + 0x1p-24, 0x1p-60, 0.0, 1.0},
};

TEST(ExactDouble, EachOperationRoundsToDoubleAtOnce) {
    for (const arithmetic_case& c : arithmetic_cases) {
        SCOPED_TRACE(c.what);
        volatile double a = c.a, b = c.b, z = c.c;
        const double result = c.expression(a, b, z);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(result), std::bit_cast<std::uint64_t>(c.expected))
            << std::hexfloat << result << " instead of " << c.expected;
    }
}

}  // namespace
