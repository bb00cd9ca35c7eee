// Which vector instructions the fast stages run on: one list in order of width,
// one place that asks the processor, and a pin so that tests and benchmarks reach
// every path on any machine. Every path gives the same bits: each lane goes
// through the same IEEE double operations in the same order as the plain code
// (never fused), with the same roundings to float; the paths differ only in how
// many values one instruction carries. The baseline needs nothing beyond the
// build's target (SSE2 on x86-64, plain code elsewhere).
#pragma once

#include <string>

/// The paths in order of width; a wider one is supported only where every
/// narrower one is.
enum class vector_path { baseline, avx2, avx512 };

// The functions sit in an inline namespace, invisible to callers, while
// terrain/vector_path.cpp still defines functions of the same names on an enum of
// its own: it keeps the two apart at link time. Drop it once that file is gone.
inline namespace platform_vector_path {

/// Whether this build, on this processor, can run path (baseline: always). avx2
/// means AVX2; avx512 means AVX2 and AVX-512 F and BW, with the system saving the
/// 512-bit registers.
bool vector_path_supported(vector_path path);
/// The path the fast stages take: the one pinned, else the widest this processor
/// supports (asked once). A stage without a kernel of that width takes its widest
/// narrower one.
vector_path chosen_vector_path();
/// Makes chosen_vector_path() return path from now on, and returns true; returns
/// false, pinning nothing, when this processor cannot run path. For tests and
/// benchmarks: the programs never pin.
bool pin_vector_path(vector_path path);
/// Pins the path named by the environment variable MAPGEN_VECTOR_PATH
/// ("baseline", "avx2" or "avx512"), if it is set and not empty. Returns false, pinning nothing,
/// when it names no path or one this processor cannot run, and then says why in
/// *reason (when given): one line, naming the variable and its value. Only tests and
/// benchmarks call this; nothing on a program's path reads the environment.
bool pin_vector_path_from_environment(std::string* reason = nullptr);
/// "baseline", "avx2" or "avx512"
const char* vector_path_name(vector_path path);

}  // namespace platform_vector_path
