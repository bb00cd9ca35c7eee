// The seeds of `vxltool generate --seeds LIST`: comma-separated items, each a seed
// or a range A..B, read strictly (a seed is a signed 32-bit decimal number and
// nothing else) and kept as disjoint ranges in ascending order, so that a seed
// named twice is made once and a range of four billion seeds costs no more memory
// than one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// Seeds first..last, both included; start is the number of seeds of the list
/// in the ranges before this one.
struct seed_range {
    std::int32_t first = 0;
    std::int32_t last = 0;
    std::uint64_t start = 0;
};

struct seed_list {
    std::vector<seed_range> ranges;  // ascending, disjoint and not adjacent
    std::uint64_t count = 0;        // seeds in all ranges, at most 2^32
};

/// Reads text as LIST into *list. Returns false with a one-line reason naming the
/// item at fault when an item is empty, is not a whole decimal number (an optional
/// sign, then digits) or a range of two, has a seed outside -2147483648 to
/// 2147483647, or is a range whose first seed is above its last. Memory is
/// proportional to the number of items, never to the number of seeds.
bool parse_seed_list(const std::string& text, seed_list* list, std::string* reason);

/// True when seed is in list.
bool seed_list_contains(const seed_list& list, std::int32_t seed);

/// The index-th seed of list in ascending order; index < list.count.
std::int32_t seed_list_at(const seed_list& list, std::uint64_t index);
