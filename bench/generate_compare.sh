#!/usr/bin/env bash
# Many maps in one vxltool generate run against one mapgen run per seed: runs
# `vxltool generate --seeds 1..N -o DIR` and N runs of `mapgen -s SEED -o FILE`
# alternately, so that both meet the same machine, and prints the median wall
# time of each and their ratio.
#
#   bench/generate_compare.sh [-n ROUNDS] [-m MAPS] [-b BUILD_DIR] [-d DIR]
#     -n ROUNDS     rounds of each (default 7)
#     -m MAPS       seeds 1 to MAPS (default 40)
#     -b BUILD_DIR  where mapgen and vxltool are (default build)
#     -d DIR        where the files are written (default $TMPDIR or /tmp); /dev/shm
#                   leaves the disk out
set -euo pipefail

rounds=7
maps=40
build=build
dir=${TMPDIR:-/tmp}
usage() { echo "Usage: bench/generate_compare.sh [-n ROUNDS] [-m MAPS] [-b BUILD_DIR] [-d DIR]" >&2; exit 2; }
while getopts "n:m:b:d:" opt; do
  case $opt in
    n) rounds=$OPTARG ;;
    m) maps=$OPTARG ;;
    b) build=$OPTARG ;;
    d) dir=$OPTARG ;;
    *) usage ;;
  esac
done
shift $((OPTIND - 1))
[ $# -eq 0 ] || usage
for n in "$rounds" "$maps"; do
  [[ "$n" =~ ^[1-9][0-9]*$ ]] || { echo "generate_compare: -n and -m want a positive number, not '$n'" >&2; exit 2; }
done
for program in mapgen vxltool; do
  [ -x "$build/$program" ] || { echo "generate_compare: $build/$program is missing; build first" >&2; exit 1; }
done

work=$(mktemp -d "$dir/generate_compare.XXXXXX")
trap 'rm -rf "$work"' EXIT

now() { date +%s%N; }
for ((r = 0; r < rounds; r++)); do
  start=$(now)
  "$build/vxltool" generate --seeds "1..$maps" -o "$work/generate" >/dev/null
  echo $(( ($(now) - start) / 1000 )) >>"$work/generate.us"
  start=$(now)
  for ((s = 1; s <= maps; s++)); do "$build/mapgen" -s "$s" -o "$work/mapgen-$s.vxl" >/dev/null; done
  echo $(( ($(now) - start) / 1000 )) >>"$work/mapgen.us"
done

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
g=$(median "$work/generate.us")
m=$(median "$work/mapgen.us")
echo "medians of $rounds rounds, alternating; seeds 1..$maps; files in $dir"
awk -v g="$g" -v m="$m" -v n="$maps" 'BEGIN {
  printf "vxltool generate  %8.1f ms\n", g / 1000
  printf "%3d mapgen runs    %8.1f ms\n", n, m / 1000
  printf "ratio mapgen runs / generate: %.2f\n", m / g
}'
