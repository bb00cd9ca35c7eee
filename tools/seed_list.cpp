#include "tools/seed_list.h"

#include <algorithm>
#include <cstddef>

namespace {

/// The seed that text spells: an optional '+' or '-', then 1 to 10 decimal digits
/// (leading zeros allowed, up to 11 in all), in the signed 32-bit range. False
/// for anything else, including white space; *reason then says why.
bool read_seed(const std::string& text, std::int32_t* seed, std::string* reason) {
    std::size_t at = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) at = 1;
    if (at == text.size() || text.find_first_not_of("0123456789", at) != std::string::npos) {
        *reason = "'" + text + "' is not a seed (a whole decimal number)";
        return false;
    }
    // Leading zeros do not count towards the length, so that 0000000042 reads.
    while (at + 1 < text.size() && text[at] == '0') ++at;
    std::int64_t value = 0;
    if (text.size() - at <= 10)
        for (std::size_t i = at; i < text.size(); ++i) value = value * 10 + (text[i] - '0');
    if (negative) value = -value;
    if (text.size() - at > 10 || value < INT32_MIN || value > INT32_MAX) {
        *reason = "seed '" + text + "' is outside -2147483648..2147483647";
        return false;
    }
    *seed = std::int32_t(value);
    return true;
}

/// One item of the list, a seed or A..B, as a range.
bool read_item(const std::string& item, seed_range* range, std::string* reason) {
    const std::size_t dots = item.find("..");
    if (dots == std::string::npos) {
        if (!read_seed(item, &range->first, reason)) return false;
        range->last = range->first;
        return true;
    }
    const std::string first = item.substr(0, dots), last = item.substr(dots + 2);
    if (first.empty() || last.empty()) {
        *reason = "range '" + item + "' needs a seed on both sides of '..'";
        return false;
    }
    if (!read_seed(first, &range->first, reason) || !read_seed(last, &range->last, reason)) return false;
    if (range->first > range->last) {
        *reason = "range '" + item + "' runs backwards: write it " + last + ".." + first;
        return false;
    }
    return true;
}

}  // namespace

bool parse_seed_list(const std::string& text, seed_list* list, std::string* reason) {
    std::vector<seed_range> items;
    for (std::size_t begin = 0;;) {
        const std::size_t comma = std::min(text.find(',', begin), text.size());
        const std::string item = text.substr(begin, comma - begin);
        if (item.empty()) {
            *reason = text.empty() ? "the list of seeds is empty" : "empty item in '" + text + "'";
            return false;
        }
        seed_range range;
        if (!read_item(item, &range, reason)) return false;
        items.push_back(range);
        if (comma == text.size()) break;
        begin = comma + 1;
    }

    // Sorted and merged: overlapping and adjacent ranges become one, so each seed
    // is made once, and the work goes in ascending order of seed.
    std::sort(items.begin(), items.end(),
              [](const seed_range& a, const seed_range& b) { return a.first < b.first; });
    list->ranges.clear();
    list->count = 0;
    for (const seed_range& r : items) {
        if (!list->ranges.empty() && std::int64_t(r.first) <= std::int64_t(list->ranges.back().last) + 1) {
            list->ranges.back().last = std::max(list->ranges.back().last, r.last);
        } else {
            list->ranges.push_back(r);
        }
    }
    for (seed_range& r : list->ranges) {
        r.start = list->count;
        list->count += std::uint64_t(std::int64_t(r.last) - std::int64_t(r.first) + 1);
    }
    return true;
}

bool seed_list_contains(const seed_list& list, std::int32_t seed) {
    // The first range that ends at or after seed is the only one that may hold it.
    const auto r = std::lower_bound(list.ranges.begin(), list.ranges.end(), seed,
                                    [](const seed_range& range, std::int32_t s) { return range.last < s; });
    return r != list.ranges.end() && r->first <= seed;
}

std::int32_t seed_list_at(const seed_list& list, std::uint64_t index) {
    // The last range that starts at or before index holds it.
    const auto r = std::upper_bound(list.ranges.begin(), list.ranges.end(), index,
                                    [](std::uint64_t i, const seed_range& range) { return i < range.start; }) -
                   1;
    return std::int32_t(std::int64_t(r->first) + std::int64_t(index - r->start));
}
