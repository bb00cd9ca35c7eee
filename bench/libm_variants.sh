#!/usr/bin/env bash
# Whether the C library's two x86-64 variants of pow and cos, the one glibc picks
# on a processor with fused multiply-add and the one it takes without, give maps
# the same bits: counts the calls over the ring weight's domain whose results
# differ, then lists the seeds whose ring-profile heights differ and, for each,
# whether mapgen's files (with and without -d) differ too.
#
#   bench/libm_variants.sh [-b BUILD_DIR] [-s FIRST] [-n SEEDS] [-e EXPONENTS]
#     -b BUILD_DIR  where mapgen and libm_variants are (default build)
#     -s FIRST      the first seed (default 0)
#     -n SEEDS      seeds from FIRST (default 20000, some 20 s a variant here)
#     -e EXPONENTS  exponents of the call count, each 65,536 distances (default 100)
set -euo pipefail

build=build
first=0
seeds=20000
exponents=100
usage() { echo "Usage: bench/libm_variants.sh [-b BUILD_DIR] [-s FIRST] [-n SEEDS] [-e EXPONENTS]" >&2; exit 2; }
while getopts "b:s:n:e:" opt; do
  case $opt in
    b) build=$OPTARG ;;
    s) first=$OPTARG ;;
    n) seeds=$OPTARG ;;
    e) exponents=$OPTARG ;;
    *) usage ;;
  esac
done
shift $((OPTIND - 1))
[ $# -eq 0 ] || usage
for program in mapgen libm_variants; do
  [ -x "$build/$program" ] || { echo "libm_variants: $build/$program is missing; build first" >&2; exit 1; }
done
without_fma=glibc.cpu.hwcaps=-AVX2,-FMA,-FMA4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/libm_variants" calls "$work/with.bin" "$exponents"
GLIBC_TUNABLES=$without_fma "$build/libm_variants" calls "$work/without.bin" "$exponents"
# Each call is 16 bytes, pow's 8 then cos's 8: count the calls with a differing byte.
cmp -l "$work/with.bin" "$work/without.bin" | awk -v calls=$((exponents * 65536)) '
  { call = int(($1 - 1) / 16); if (($1 - 1) % 16 < 8) pw[call] = 1; else cs[call] = 1 }
  END { for (c in pw) p++; for (c in cs) if (!(c in pw)) q++
        printf "calls: of %d, pow differs in %d, and cos of the same argument in %d\n", calls, p, q }' || true

"$build/libm_variants" heights "$first" "$seeds" >"$work/with.txt"
GLIBC_TUNABLES=$without_fma "$build/libm_variants" heights "$first" "$seeds" >"$work/without.txt"
differing=$(diff "$work/with.txt" "$work/without.txt" | awk '/^</ { print $2 }' || true)
echo "seeds $first to $((first + seeds - 1)): ring-profile heights differ in $(wc -w <<<"$differing") of $seeds"
for seed in $differing; do
  for flags in "" "-d"; do
    "$build/mapgen" $flags -s "$seed" -o "$work/with.vxl" >/dev/null
    GLIBC_TUNABLES=$without_fma "$build/mapgen" $flags -s "$seed" -o "$work/without.vxl" >/dev/null
    if cmp -s "$work/with.vxl" "$work/without.vxl"; then verdict="the same file"; else verdict="ANOTHER FILE"; fi
    echo "  mapgen -s $seed${flags:+ $flags}: $verdict"
  done
done
