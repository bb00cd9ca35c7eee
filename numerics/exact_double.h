// The map's arithmetic is IEEE 754 binary64, rounded to nearest after every
// operation, with values rounded to binary32 where they are stored as float. A
// compiler or flags that keep wider intermediates (the x87 unit of 32-bit x86),
// use other formats or allow fast-math would write other maps for the same seed;
// this stops such a build, whatever build system drives it.
#pragma once

#include <cfloat>
#include <limits>

static_assert(std::numeric_limits<double>::is_iec559 && std::numeric_limits<double>::digits == 53,
              "double must be IEEE 754 binary64");
static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<float>::digits == 24,
              "float must be IEEE 754 binary32");
static_assert(FLT_EVAL_METHOD == 0,
              "double arithmetic must not keep excess precision (on 32-bit x86: -msse2 -mfpmath=sse)");
#if defined(__FAST_MATH__)
#error "fast-math reorders and drops the map's roundings: build without it"
#endif
