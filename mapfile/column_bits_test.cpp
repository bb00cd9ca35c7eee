#include "mapfile/column_bits.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

// A column of solid_map bytes: any value but 0 is solid.
struct column {
    std::uint8_t bytes[64];
};

column random_column(std::mt19937_64& random) {
    column c;
    const unsigned density = unsigned(random() % 101);
    for (std::uint8_t& b : c.bytes) b = random() % 100 < density ? std::uint8_t(1 + random() % 255) : 0;
    return c;
}

column_mask expected_mask(const column& c) {
    column_mask m = 0;
    for (int z = 0; z < 64; ++z)
        if (c.bytes[z] != 0) m |= column_mask{1} << z;
    return m;
}

column flipped(const column& c) {
    column reversed;
    for (int z = 0; z < 64; ++z) reversed.bytes[z] = c.bytes[63 - z];
    return reversed;
}

TEST(ColumnBits, MaskHasABitForEveryNonZeroByte) {
    std::mt19937_64 random(3);
    for (int round = 0; round < 20000; ++round) {
        const column c = random_column(random);
        ASSERT_EQ(solid_mask_words(c.bytes), expected_mask(c));
        ASSERT_EQ(solid_mask(c.bytes), expected_mask(c));
    }
    column high{};
    high.bytes[5] = 0x80;  // only the top bit set
    high.bytes[63] = 0x7F;
    EXPECT_EQ(solid_mask_words(high.bytes), column_mask{1} << 5 | column_mask{1} << 63);
    EXPECT_EQ(solid_mask(high.bytes), column_mask{1} << 5 | column_mask{1} << 63);
}

TEST(ColumnBits, ReversedBitsAreTheMaskOfTheFlippedColumn) {
    std::mt19937_64 random(5);
    for (int round = 0; round < 20000; ++round) {
        const column before = random_column(random);
        ASSERT_EQ(reverse_bits(expected_mask(before)), expected_mask(flipped(before)));
    }
    EXPECT_EQ(reverse_bits(1), column_mask{1} << 63);
    EXPECT_EQ(reverse_bits(0x0123456789ABCDEFu), 0xF7B3D591E6A2C480u);
}

TEST(ColumnBits, FlipReversesTheColumnAndReturnsTheFlippedMask) {
    std::mt19937_64 random(4);
    for (int round = 0; round < 20000; ++round) {
        const column before = random_column(random);
        const column reversed = flipped(before);

        column words = before, chosen = before;
        ASSERT_EQ(flip_solid_column_words(words.bytes), expected_mask(reversed));
        ASSERT_EQ(flip_solid_column(chosen.bytes), expected_mask(reversed));
        ASSERT_EQ(0, std::memcmp(words.bytes, reversed.bytes, 64));
        ASSERT_EQ(0, std::memcmp(chosen.bytes, reversed.bytes, 64));
    }
    std::uint32_t colours[64];
    for (int z = 0; z < 64; ++z) colours[z] = 0x80000000u + std::uint32_t(z);
    flip_colour_column(colours);
    for (int z = 0; z < 64; ++z) ASSERT_EQ(colours[z], 0x80000000u + std::uint32_t(63 - z));
}

}  // namespace
