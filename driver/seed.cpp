#include "driver/seed.h"

std::int32_t read_seed(const char* text) {
    const char* c = text;
    while (*c == ' ' || *c == '\t' || *c == '\n' || *c == '\v' || *c == '\f' || *c == '\r') ++c;
    bool negative = false;
    if (*c == '+' || *c == '-') negative = *c++ == '-';
    // Unsigned arithmetic wraps modulo 2^32 by definition; a signed one would overflow.
    std::uint32_t value = 0;
    for (; *c >= '0' && *c <= '9'; ++c) value = value * 10u + std::uint32_t(*c - '0');
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);  // two's complement bit pattern (C++20)
}
