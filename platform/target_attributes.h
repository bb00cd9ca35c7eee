// Function attributes of the vector kernels: each kernel file compiles its
// functions for its own instruction set, whatever the build's target, and is
// called only once vector_path_supported has said yes. The kernels still obey the
// build's rounding flags (-ffp-contract=off): only plain multiplies and adds.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
#define MAPGEN_HAS_X86_KERNELS 1
#define MAPGEN_TARGET_AVX2 __attribute__((target("avx2")))
#define MAPGEN_TARGET_AVX512 __attribute__((target("avx512f,avx512bw")))
#else
#define MAPGEN_HAS_X86_KERNELS 0
#endif
