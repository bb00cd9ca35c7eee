// The size of a transparent huge page (x86-64, and aarch64 with 4 KiB pages): the
// alignment that lets the kernel back large anonymous mappings with huge pages,
// which saves most of the page faults of touching them for the first time.
#pragma once

#include <cstddef>

constexpr std::size_t HUGE_PAGE = std::size_t{2} << 20;
