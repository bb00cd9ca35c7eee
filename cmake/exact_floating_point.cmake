# Maps must be identical byte for byte whatever compiler, flags or processor built
# them. That needs double arithmetic that is IEEE 754 binary64, rounded to nearest
# after every operation and never kept wider (no excess precision), no contraction
# of a * b + c into a fused multiply-add, and no fast-math anywhere. This adds the
# flags that make it so and stops the configuration where it cannot be so.

include(CheckCXXSourceCompiles)

# The rounding flags for every target.
set(mapgen_fp_flags -ffp-contract=off -fno-fast-math)
# GCC 12's straight-line (SLP) vectoriser drops a rounding to float when it pairs
# two statements of the form double(float(double(f) - d)): the float store that
# makes the map reproducible disappears at -O2 and above. Loop vectorisation is
# not affected and stays on.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND mapgen_fp_flags -fno-tree-slp-vectorize)
endif()

# Compiles source with the flags the build's own files get: CMAKE_CXX_FLAGS, the
# build type's flags, then the directory's compile options (mapgen's flags
# included), in that order, so that the last word on -mfpmath and the like is the
# one the build sees. Only compiles, so it works for any cross target.
function(mapgen_check_compiles result source)
  get_directory_property(options COMPILE_OPTIONS)
  list(FILTER options EXCLUDE REGEX "\\$<")
  set(flags)
  if(CMAKE_BUILD_TYPE)
    string(TOUPPER "${CMAKE_BUILD_TYPE}" type)
    separate_arguments(flags UNIX_COMMAND "${CMAKE_CXX_FLAGS_${type}}")
  endif()
  # A configuration with no flags of its own, so that the build type's flags come
  # before mapgen's, not after them.
  set(CMAKE_TRY_COMPILE_CONFIGURATION MapgenCheck)
  set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
  set(CMAKE_REQUIRED_FLAGS)
  string(JOIN " " CMAKE_REQUIRED_FLAGS ${flags} ${options})
  set(CMAKE_REQUIRED_QUIET ON)
  # Asked again every time (the flags may have changed since), so neither a cached
  # answer nor the caller's variable of the same name may stand in for it.
  unset(${result} CACHE)
  unset(${result})
  check_cxx_source_compiles("${source}" ${result})
  set(${result} ${${result}} PARENT_SCOPE)
endfunction()

# 32-bit x86 does double arithmetic in the x87 unit by default, with 80-bit
# intermediates, so values are rounded elsewhere than on every other processor:
# use SSE2 instead (the program then needs a processor with SSE2, which every x86
# processor since 2003 has). Asked of the compiler, so that -m32 on an x86-64
# host is covered as well as a cross compiler.
add_compile_options(${mapgen_fp_flags})
mapgen_check_compiles(MAPGEN_TARGET_X86_32 "#if !defined(__i386__)\n#error not 32-bit x86\n#endif\nint x86_32;")
if(MAPGEN_TARGET_X86_32)
  add_compile_options(-msse2 -mfpmath=sse)
endif()

# The check, with the final flags. Each condition names its reason; the first
# that fails is reported.
set(mapgen_fp_rules
  "std::numeric_limits<double>::is_iec559 && std::numeric_limits<double>::digits == 53"
  "double is not IEEE 754 binary64"
  "std::numeric_limits<float>::is_iec559 && std::numeric_limits<float>::digits == 24"
  "float is not IEEE 754 binary32"
  "std::numeric_limits<double>::round_style == std::round_to_nearest"
  "double arithmetic does not round to nearest"
  "FLT_EVAL_METHOD == 0"
  "FLT_EVAL_METHOD is not 0: intermediate results are kept with excess precision (as in the x87 unit's 80-bit registers), so they are rounded elsewhere than the map's arithmetic requires"
  "!fast_math"
  "fast-math is on, which lets the compiler reorder and drop roundings")
set(mapgen_fp_probe [[
#include <cfloat>
#include <limits>
#if defined(__FAST_MATH__)
constexpr bool fast_math = true;
#else
constexpr bool fast_math = false;
#endif
]])
set(mapgen_fp_reason)
list(LENGTH mapgen_fp_rules count)
math(EXPR last "${count} - 1")
foreach(i RANGE 0 ${last} 2)
  math(EXPR j "${i} + 1")
  list(GET mapgen_fp_rules ${i} condition)
  list(GET mapgen_fp_rules ${j} reason)
  mapgen_check_compiles(MAPGEN_FP_RULE "${mapgen_fp_probe}static_assert(${condition});\n")
  if(NOT MAPGEN_FP_RULE)
    set(mapgen_fp_reason "${reason}")
    break()
  endif()
endforeach()
unset(MAPGEN_FP_RULE CACHE)

if(mapgen_fp_reason)
  get_directory_property(options COMPILE_OPTIONS)
  set(type_flags)
  if(CMAKE_BUILD_TYPE)
    string(TOUPPER "${CMAKE_BUILD_TYPE}" type)
    set(type_flags "${CMAKE_CXX_FLAGS_${type}}")
  endif()
  string(JOIN " " flags ${CMAKE_CXX_FLAGS} ${type_flags} ${options})
  set(target "${CMAKE_SYSTEM_PROCESSOR}")
  if(MAPGEN_TARGET_X86_32)
    set(target "32-bit x86 (${CMAKE_SYSTEM_PROCESSOR})")
  endif()
  message(FATAL_ERROR
    "mapgen cannot be built for the target ${target} with ${CMAKE_CXX_COMPILER} "
    "(${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER_VERSION}) and the flags '${flags}'.\n"
    "Reason: ${mapgen_fp_reason}.\n"
    "Such a build would write other maps than every other build for the same seed. "
    "Use a compiler and flags with IEEE double arithmetic (on 32-bit x86 that is SSE2: "
    "nothing may override -msse2 -mfpmath=sse) and without fast-math.")
endif()
if(MAPGEN_TARGET_X86_32)
  message(STATUS "Floating point: 32-bit x86, double arithmetic in SSE2 (-msse2 -mfpmath=sse)")
else()
  message(STATUS "Floating point: IEEE binary64 without excess precision")
endif()
