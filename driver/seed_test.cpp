#include "driver/seed.h"

#include <gtest/gtest.h>

namespace {

TEST(ReadSeed, ReadsDecimalWrappingAt32BitsAndNeverFails) {
    const struct {
        const char* text;
        std::int32_t seed;
    } cases[] = {
        {"42", 42},
        {"-7", -7},
        {"+9", 9},
        {"0", 0},
        {"4294967297", 1},                  // 2^32 + 1 wraps
        {"2147483648", INT32_MIN},          // 2^31 reads as the signed pattern
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"4294967295", -1},
        {"-4294967295", 1},
        {"99999999999999999999", 1661992959},  // 10^20 - 1 modulo 2^32
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"d5", 0},                          // what -sd5 passes
        {"h", 0},
        {"-", 0},
        {"+-5", 0},                         // one sign only
        {"--5", 0},
        {" \t\n\v\f\r 17", 17},
        {"  -3x", -3},
        {"- 3", 0},                         // no white space after the sign
        {"1 2", 1},
        {"007", 7},
    };
    for (const auto& c : cases) EXPECT_EQ(read_seed(c.text), c.seed) << '"' << c.text << '"';
}

}  // namespace
