// The one place that asks the processor what it offers.
#include "platform/vector_path.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

// glibc's loader has already asked the processor, and the system, what they offer
// by the time the program starts, and keeps the answer where this header reads it.
// __builtin_cpu_supports asks again, in a constructor with a dozen cpuid
// instructions: in a virtual machine each is an exit to the host, and together
// they cost about 0.05 ms of every run.
#if (defined(__x86_64__) || defined(__i386__)) && __has_include(<sys/platform/x86.h>)
// The header is C: its two functions return _Bool, which clang's C++ does not know.
#if defined(__cplusplus) && !defined(_Bool)
#define _Bool bool
#define MAPGEN_DEFINED_BOOL
#endif
#include <sys/platform/x86.h>
#ifdef MAPGEN_DEFINED_BOOL
#undef _Bool
#undef MAPGEN_DEFINED_BOOL
#endif
#define MAPGEN_HAS_LOADER_CPU_FEATURES 1
#else
#define MAPGEN_HAS_LOADER_CPU_FEATURES 0
#endif

namespace {

constexpr vector_path PATHS[] = {vector_path::baseline, vector_path::avx2, vector_path::avx512};

vector_path widest_supported() {
    vector_path widest = vector_path::baseline;
    for (vector_path path : PATHS)
        if (vector_path_supported(path)) widest = path;
    return widest;
}

// -1 while nothing is pinned, else the pinned path
std::atomic<int> pinned{-1};

}  // namespace

inline namespace platform_vector_path {

bool vector_path_supported(vector_path path) {
    switch (path) {
        case vector_path::baseline: return true;
        // Both probes also check that the system saves the wider registers. The
        // AVX-512 kernels fall back on AVX2 ones for narrow rows, so that path asks
        // for AVX2 as well (every processor with AVX-512 has it).
#if MAPGEN_HAS_LOADER_CPU_FEATURES
        case vector_path::avx2: return CPU_FEATURE_ACTIVE(AVX2);
        case vector_path::avx512:
            return CPU_FEATURE_ACTIVE(AVX2) && CPU_FEATURE_ACTIVE(AVX512F) && CPU_FEATURE_ACTIVE(AVX512BW);
#elif defined(__x86_64__) || defined(__i386__)
        case vector_path::avx2: return __builtin_cpu_supports("avx2");
        case vector_path::avx512:
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512f") &&
                   __builtin_cpu_supports("avx512bw");
#else
        default: return false;
#endif
    }
    return false;
}

vector_path chosen_vector_path() {
    static const vector_path widest = widest_supported();
    const int pin = pinned.load(std::memory_order_relaxed);
    return pin < 0 ? widest : static_cast<vector_path>(pin);
}

bool pin_vector_path(vector_path path) {
    if (!vector_path_supported(path)) return false;
    pinned.store(static_cast<int>(path), std::memory_order_relaxed);
    return true;
}

bool pin_vector_path_from_environment(std::string* reason) {
    const char* name = std::getenv("MAPGEN_VECTOR_PATH");
    if (!name || !*name) return true;  // unset or empty: nothing pinned
    for (vector_path path : PATHS) {
        if (std::strcmp(name, vector_path_name(path)) != 0) continue;
        if (pin_vector_path(path)) return true;
        if (reason) *reason = std::string("MAPGEN_VECTOR_PATH=") + name + ": this processor cannot run that path";
        return false;
    }
    if (reason)
        *reason = std::string("MAPGEN_VECTOR_PATH=") + name + ": not a vector path (baseline, avx2 or avx512)";
    return false;
}

const char* vector_path_name(vector_path path) {
    switch (path) {
        case vector_path::baseline: return "baseline";
        case vector_path::avx2: return "avx2";
        case vector_path::avx512: return "avx512";
    }
    return "baseline";
}

}  // namespace platform_vector_path
