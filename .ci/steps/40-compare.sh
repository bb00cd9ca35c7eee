#!/usr/bin/env bash
# The benchmarks still build and run, and so does the whole-run comparison: one
# pass of every micro-benchmark, one round of mapgen against each floor.
# Timings on a shared machine say little; this only keeps them working.
set -euo pipefail
bash scripts/install-deps.sh bench
# The README's test line configured build/ before Google Benchmark was here.
cmake -S . -B build >/dev/null
if ! grep -q '^MAPGEN_BENCH:BOOL=ON' build/CMakeCache.txt; then
  echo "compare: benchmarks off in build/, skipped"
  exit 0
fi
cmake --build build --target mapgen_bench floor output_floor run_measured mapgen
build/mapgen_bench --benchmark_min_time=0.001 >build/bench-once.log 2>&1 || { tail -n 30 build/bench-once.log >&2; exit 1; }
echo "compare: build/mapgen_bench ran its $(build/mapgen_bench --benchmark_list_tests | wc -l) benchmarks once"
bash bench/compare.sh -n 1
bash bench/compare.sh -n 1 -f output
