// Reading the -s parameter: a decimal number that wraps at 32 bits and never fails.
#pragma once

#include <cstdint>

/// Skips leading white space (space, \t, \n, \v, \f, \r), takes one optional "+" or
/// "-", then reads decimal digits up to the first non-digit; each digit makes the
/// value ten times the old one plus the digit, modulo 2^32. The value is negated
/// for "-" and read as a signed 32-bit number. No digits give 0.
std::int32_t read_seed(const char* text);
