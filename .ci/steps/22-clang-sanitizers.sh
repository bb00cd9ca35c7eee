#!/usr/bin/env bash
# Every test again, built by clang at -O3 with AddressSanitizer and
# UndefinedBehaviorSanitizer. The sanitizer build in .ci/run is GCC's at -O0;
# clang's optimizer and its larger stack frames have found faults that build did
# not (a std::regex that overflowed the stack on a page's megabyte data: URL).
set -euo pipefail
source .ci/no_warnings.sh
bash scripts/install-deps.sh tests fuzz  # fuzz: clang and its sanitizer runtime

log=$(mktemp -d)
trap 'rm -rf "$log"' EXIT
CC=clang CXX=clang++ cmake -S . -B build-clang-asan -G Ninja -DCMAKE_BUILD_TYPE=Release -DMAPGEN_SANITIZE=ON \
  -DMAPGEN_BENCH=OFF >/dev/null
cmake --build build-clang-asan >"$log/build.log" 2>&1 || { tail -40 "$log/build.log" >&2; exit 1; }
no_warnings "$log/build.log" "clang sanitizer build"
grep -q 'CMAKE_CXX_COMPILER:.*clang++' build-clang-asan/CMakeCache.txt || { echo "ci: build-clang-asan is not clang" >&2; exit 1; }
ninja -C build-clang-asan -t commands mapgen | grep -E ' -c ' | grep -q -v -e '-fsanitize=address' &&
  { echo "ci: build-clang-asan compiles without the sanitizers" >&2; exit 1; }
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-clang-asan -j2 >"$log/tests.log" 2>&1 || {
  ctest --test-dir build-clang-asan --rerun-failed --output-on-failure >&2 || true
  echo "ci: tests fail in the clang sanitizer build" >&2
  exit 1
}
grep 'tests passed' "$log/tests.log" | sed 's/^/clang sanitizer build: /'
