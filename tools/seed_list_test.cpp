#include "tools/seed_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using ranges = std::vector<std::pair<std::int32_t, std::int32_t>>;

ranges ranges_of(const seed_list& list) {
    ranges r;
    for (const seed_range& range : list.ranges) r.emplace_back(range.first, range.last);
    return r;
}

TEST(seed_list, ReadsSeedsAndRangesMergedInAscendingOrder) {
    const struct {
        const char* text;
        ranges expected;
        std::uint64_t count;
    } cases[] = {
        {"1", {{1, 1}}, 1},
        {"1..100", {{1, 100}}, 100},
        {"-5..5,42", {{-5, 5}, {42, 42}}, 12},
        {"42,-5..5", {{-5, 5}, {42, 42}}, 12},                  // given order does not matter
        {"3,3,2..4,4", {{2, 4}}, 3},                            // duplicates made once
        {"1..5,6..10,11", {{1, 11}}, 11},                       // adjacent ranges join
        {"10..20,1..15", {{1, 20}}, 20},                        // overlapping ranges join
        {"1..100,50", {{1, 100}}, 100},                         // a seed inside a range
        {"7..7", {{7, 7}}, 1},
        {"+8,-0,007", {{0, 0}, {7, 8}}, 3},                     // signs and leading zeros
        {"00000000002147483647", {{2147483647, 2147483647}}, 1},
        {"-2147483648..-2147483647,2147483647", {{-2147483648, -2147483647}, {2147483647, 2147483647}}, 3},
        {"-2147483648..2147483647", {{-2147483648, 2147483647}}, std::uint64_t{1} << 32},
        {"-2147483648..2147483647,0,-2147483648..5", {{-2147483648, 2147483647}}, std::uint64_t{1} << 32},
    };
    for (const auto& c : cases) {
        seed_list list;
        std::string why;
        ASSERT_TRUE(parse_seed_list(c.text, &list, &why)) << c.text << ": " << why;
        EXPECT_EQ(ranges_of(list), c.expected) << c.text;
        EXPECT_EQ(list.count, c.count) << c.text;
    }
}

TEST(seed_list, RefusesJunkNamingTheItem) {
    const struct {
        const char* text;
        const char* reason;
    } cases[] = {
        {"", "the list of seeds is empty"},
        {"1,,2", "empty item in '1,,2'"},
        {"1,", "empty item in '1,'"},
        {",1", "empty item in ',1'"},
        {"x", "'x' is not a seed (a whole decimal number)"},
        {"1, 2", "' 2' is not a seed (a whole decimal number)"},
        {" 1", "' 1' is not a seed (a whole decimal number)"},
        {"12abc", "'12abc' is not a seed (a whole decimal number)"},
        {"0x10", "'0x10' is not a seed (a whole decimal number)"},
        {"1e3", "'1e3' is not a seed (a whole decimal number)"},
        {"-", "'-' is not a seed (a whole decimal number)"},
        {"+-1", "'+-1' is not a seed (a whole decimal number)"},
        {"1.5", "'1.5' is not a seed (a whole decimal number)"},
        {"1...5", "'.5' is not a seed (a whole decimal number)"},
        {"1..2..3", "'2..3' is not a seed (a whole decimal number)"},
        {"..5", "range '..5' needs a seed on both sides of '..'"},
        {"5..", "range '5..' needs a seed on both sides of '..'"},
        {"2147483648", "seed '2147483648' is outside -2147483648..2147483647"},
        {"-2147483649", "seed '-2147483649' is outside -2147483648..2147483647"},
        {"99999999999999999999", "seed '99999999999999999999' is outside -2147483648..2147483647"},
        {"0..4294967296", "seed '4294967296' is outside -2147483648..2147483647"},
        {"5..1", "range '5..1' runs backwards: write it 1..5"},
        {"1,-1..-2", "range '-1..-2' runs backwards: write it -2..-1"},
    };
    for (const auto& c : cases) {
        seed_list list;
        std::string why;
        EXPECT_FALSE(parse_seed_list(c.text, &list, &why)) << c.text;
        EXPECT_EQ(why, c.reason) << c.text;
    }
}

TEST(seed_list, FindsTheNthSeedAndMembershipAcrossRanges) {
    seed_list list;
    std::string why;
    ASSERT_TRUE(parse_seed_list("10..12,-3,100..101,2147483647", &list, &why)) << why;
    const std::vector<std::int32_t> all = {-3, 10, 11, 12, 100, 101, 2147483647};
    ASSERT_EQ(list.count, all.size());
    for (std::size_t i = 0; i < all.size(); ++i) EXPECT_EQ(seed_list_at(list, i), all[i]) << i;
    for (std::int32_t s : all) EXPECT_TRUE(seed_list_contains(list, s)) << s;
    for (std::int32_t s : {-2147483647 - 1, -4, -2, 9, 13, 99, 102, 2147483646})
        EXPECT_FALSE(seed_list_contains(list, s)) << s;

    // The whole 32-bit range is one range of 2^32 seeds, at no cost.
    ASSERT_TRUE(parse_seed_list("-2147483648..2147483647", &list, &why)) << why;
    EXPECT_EQ(seed_list_at(list, 0), -2147483647 - 1);
    EXPECT_EQ(seed_list_at(list, std::uint64_t{1} << 31), 0);
    EXPECT_EQ(seed_list_at(list, (std::uint64_t{1} << 32) - 1), 2147483647);
}

}  // namespace
