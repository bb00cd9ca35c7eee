#!/usr/bin/env bash
# The same maps on other processors. mapgen is cross-built with Debian's cross
# compilers for 64-bit ARM (aarch64), big-endian IBM Z (s390x) and 32-bit x86
# (i686, double arithmetic in SSE2), and run under qemu-user; every map of the
# seeds below, with and without -d, must be byte for byte the map of the native
# Release build in build/. The unit tests of the map file code and the numerics
# run on s390x, where a byte order mistake in the loader or the encoder would
# show, and those of the numerics on i686. Configuring must stop for a compiler
# that does double arithmetic in the x87 unit. (30-no-fused-multiply-add.sh
# searches the libraries built here for fused multiply-adds and x87 arithmetic.)
set -euo pipefail
start=$SECONDS
bash scripts/install-deps.sh cross

# 99003: its ring-profile heights come out one way from x86-64's C library with
# FMA and another from the one without and from i686's (bench/libm_variants.sh);
# its file must come out one way.
seeds=(1 2 0 -1 -7 7 42 99 123456789 2147483647 -2147483648 99003)
declare -A triple=([aarch64]=aarch64-linux-gnu [s390x]=s390x-linux-gnu [i686]=i686-linux-gnu)
declare -A qemu=([aarch64]=qemu-aarch64 [s390x]=qemu-s390x [i686]=qemu-i386)
declare -A test_rooms=([s390x]="platform;numerics;mapfile" [i686]="numerics")
# These two hold the fast noise fill to the plain one at every period, height and
# span: two thirds of the tests' time, minutes under emulation. Off x86 the fast
# fill is the portable code, one sample at a time (x86 builds take SSE2 kernels
# instead); the other noise fill tests hold it to the plain fill on s390x, and the
# maps below go through it on aarch64 and s390x.
slow_tests=FastNoiseFill.AgreesWithThePlainFillAtEveryPeriodAndHeight:FastNoiseFill.AgreesWithThePlainFillForEverySpan
# Signals under qemu-user are qemu's emulation of them, not the kernel's: the test
# that a signal in the middle of a write leaves no temporary file ended once under
# qemu-s390x with another status, and passed five times of five after. It is about
# the kernel's semantics, not byte order, and runs natively and with the sanitizers.
emulated_signals=SafeWrite.InterruptingSignalsLeaveNoTemporaryFile
targets=(aarch64 s390x i686)

quietly() {  # quietly <log> <command...>: the log only when the command fails
  local log=$1; shift
  "$@" >"$log" 2>&1 || { tail -n 40 "$log" >&2; echo "ci: failed: $*" >&2; return 1; }
}
wait_for_jobs() {  # waits for every "pid:what:log" in jobs; the log of each that failed
  local job pid what log failed=0
  for job in "${jobs[@]}"; do
    IFS=: read -r pid what log <<<"$job"
    if ! wait "$pid"; then
      [ -z "$log" ] || tail -n 60 "$log" >&2
      echo "ci: $what failed" >&2
      failed=1
    fi
  done
  jobs=()
  return "$failed"
}
# The cross builds link statically (the toolchain files say so; the aarch64 line
# adds -static to the plain command line) and run under qemu without -L: with -L, qemu
# looks every absolute path up in the target's library tree first, so "/" opens
# /usr/<triple> and the safe writer, which walks a path from "/" one directory at a
# time, finds no /tmp there.
run_on() {  # run_on <target> <program> <args...>
  local target=$1; shift
  "${qemu[$target]}" "$@"
}

# ---- configuring: x87 arithmetic is refused, -m32 style targets are recognised
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '#!/bin/sh\nexec i686-linux-gnu-g++ "$@" -mfpmath=387\n' >"$work/g++-x87"
chmod +x "$work/g++-x87"
if cmake -S . -B "$work/x87" -DCMAKE_SYSTEM_NAME=Linux -DCMAKE_SYSTEM_PROCESSOR=i686 \
    -DCMAKE_C_COMPILER=i686-linux-gnu-gcc -DCMAKE_CXX_COMPILER="$work/g++-x87" \
    -DMAPGEN_TOOLS=OFF -DMAPGEN_TESTS=OFF -DMAPGEN_BENCH=OFF >"$work/x87.log" 2>&1; then
  echo "ci: a compiler that does double arithmetic in x87 was accepted" >&2; exit 1
fi
grep -q 'Reason: FLT_EVAL_METHOD is not 0' "$work/x87.log" || {
  cat "$work/x87.log" >&2; echo "ci: the x87 configuration failed without naming the reason" >&2; exit 1; }
# A 32-bit x86 compiler that CMake takes for the host's (as with -m32) still gets SSE2.
quietly "$work/m32.log" cmake -S . -B "$work/m32" -DCMAKE_C_COMPILER=i686-linux-gnu-gcc \
  -DCMAKE_CXX_COMPILER=i686-linux-gnu-g++ -DMAPGEN_TOOLS=OFF -DMAPGEN_TESTS=OFF -DMAPGEN_BENCH=OFF
grep -q 'Floating point: 32-bit x86, double arithmetic in SSE2' "$work/m32.log" || {
  cat "$work/m32.log" >&2; echo "ci: a 32-bit x86 compiler was not recognised" >&2; exit 1; }
echo "cross: x87 double arithmetic refused at configure time; 32-bit x86 recognised by its compiler"

# ---- building: aarch64 with the plain cross command line, the others with the toolchain files
[ -x build/mapgen ] || quietly "$work/native.log" bash -c \
  'cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release && cmake --build build --target mapgen'
build_aarch64() {
  cmake -S . -B build-cross-aarch64 -G Ninja -DCMAKE_SYSTEM_NAME=Linux -DCMAKE_SYSTEM_PROCESSOR=aarch64 \
    -DCMAKE_C_COMPILER=aarch64-linux-gnu-gcc -DCMAKE_CXX_COMPILER=aarch64-linux-gnu-g++ \
    -DMAPGEN_TOOLS=OFF -DMAPGEN_TESTS=OFF -DMAPGEN_BENCH=OFF -DCMAKE_EXE_LINKER_FLAGS=-static &&
    cmake --build build-cross-aarch64 --target mapgen
}
build_with_tests() {  # build_with_tests <target>
  cmake -S . -B "build-cross-$1" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    --toolchain "cmake/toolchains/${triple[$1]}.cmake" -DMAPGEN_TOOLS=OFF -DMAPGEN_BENCH=OFF \
    -DMAPGEN_TEST_ROOMS="${test_rooms[$1]}" &&
    cmake --build "build-cross-$1" --target mapgen unit_tests
}
# All three at once: a configuration and GoogleTest's one large file would
# otherwise leave a core idle.
jobs=()
build_aarch64 >"$work/build-aarch64.log" 2>&1 &
jobs+=("$!:the aarch64 build:$work/build-aarch64.log")
for target in s390x i686; do
  build_with_tests "$target" >"$work/build-$target.log" 2>&1 &
  jobs+=("$!:the $target build:$work/build-$target.log")
done
wait_for_jobs
echo "cross: built in $((SECONDS - start)) s"

# ---- running: the unit tests and the maps of every target, all at once
native=$work/native
mkdir -p "$native"
for seed in "${seeds[@]}"; do
  for flags in "" "-d"; do
    build/mapgen $flags -s "$seed" -o "$native/$seed$flags.vxl" >/dev/null
  done
done

compare_maps() {  # compare_maps <target>: one line per map that differs, on stdout
  local target=$1 out=$work/maps-$1
  mkdir -p "$out"
  for seed in "${seeds[@]}"; do
    for flags in "" "-d"; do
      local run="mapgen${flags:+ $flags} -s $seed"
      if ! run_on "$target" "build-cross-$target/mapgen" $flags -s "$seed" -o "$out/$seed$flags.vxl" >/dev/null 2>"$out/stderr"; then
        echo "$target: $run failed: $(head -n 1 "$out/stderr")"
      elif ! cmp "$native/$seed$flags.vxl" "$out/$seed$flags.vxl" >"$out/cmp" 2>&1; then
        echo "$target: $run writes another map than the native build: $(sed -n '1s/.* differ: //p' "$out/cmp")"
      fi
    done
  done
}

jobs=()
for target in s390x i686; do
  run_on "$target" "build-cross-$target/unit_tests" --gtest_brief=1 --gtest_filter="-$slow_tests:$emulated_signals" \
    >"$work/tests-$target.log" 2>&1 &
  jobs+=("$!:unit tests on $target:$work/tests-$target.log")
done
for target in "${targets[@]}"; do
  compare_maps "$target" >"$work/differences-$target" &
  jobs+=("$!:maps on $target:")
done
failed=0
wait_for_jobs || failed=1
differences=$(cat "$work"/differences-*)
if [ -n "$differences" ]; then
  echo "$differences" >&2
  echo "ci: $(wc -l <<<"$differences") maps are not the native build's" >&2
  failed=1
fi
[ "$failed" -eq 0 ] || exit 1
for target in s390x i686; do
  echo "cross: $target unit tests (${test_rooms[$target]}): $(grep -E '^\[  PASSED  \]' "$work/tests-$target.log")"
done
echo "cross: ${targets[*]}: $((${#seeds[@]} * 2)) maps each (seeds ${seeds[*]}, with and without -d) identical to the native build's; $((SECONDS - start)) s"
