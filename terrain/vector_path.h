// Which vector instructions the generator's fast stages run on. Every path gives
// the same bits, because each lane goes through the same IEEE double operations in
// the same order as the plain code (never fused), with the same roundings to float;
// the paths differ only in how many columns one instruction carries. The baseline
// needs nothing beyond the build's target (two double lanes of SSE2 on x86-64, one
// column at a time elsewhere); AVX-512 is used only where the processor reports it.
#pragma once

enum class vector_path { baseline, avx512 };

/// Whether this build, on this processor, can run path (baseline: always).
bool vector_path_supported(vector_path path);
/// The widest path this processor supports; asked once, then remembered.
vector_path best_vector_path();
