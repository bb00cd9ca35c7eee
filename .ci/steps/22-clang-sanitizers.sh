#!/usr/bin/env bash
# Every test again, built by clang at -O3 with AddressSanitizer and
# UndefinedBehaviorSanitizer. The sanitizer build in .ci/run is GCC's at -O0;
# clang's optimizer and its larger stack frames have found faults that build did
# not (a std::regex that overflowed the stack on a page's megabyte data: URL).
set -euo pipefail
source .ci/build_and_test.sh
source .ci/check_flags.sh
bash scripts/install-deps.sh tests fuzz  # fuzz: clang and its sanitizer runtime

CC=clang CXX=clang++ cmake -S . -B build-clang-asan -G Ninja -DCMAKE_BUILD_TYPE=Release -DMAPGEN_SANITIZE=ON \
  -DMAPGEN_BENCH=OFF >/dev/null
check_flags build-clang-asan -O3 -fsanitize=address
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
build_and_test build-clang-asan "clang sanitizer build" clang++
