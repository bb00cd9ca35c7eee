// What terrain's AVX-512 kernel files share: the target attribute, the intrinsics
// (on x86 builds, where MAPGEN_HAS_X86_KERNELS is 1), and quiet for a false alarm.
#pragma once

#include "platform/target_attributes.h"

#if MAPGEN_HAS_X86_KERNELS
#include <immintrin.h>
#endif

// GCC 12's own AVX-512 intrinsics start from an "undefined" vector that it then
// reports as uninitialised; nothing of it is read. Holds for the file that
// includes this header, which is one kernel file.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
