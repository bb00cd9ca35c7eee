#!/usr/bin/env bash
# A whole run of mapgen against a floor: runs `mapgen -s 1 -o FILE` and
# `floor FILE` alternately, so that both meet the same machine, and prints the
# medians of wall time, CPU time, peak resident memory and minor page faults of
# each, and the ratios mapgen / floor.
#
#   bench/compare.sh [-n RUNS] [-b BUILD_DIR] [-s SEED] [-d DIR] [-t] [-f FLOOR]
#     -n RUNS       runs of each program (default 10)
#     -b BUILD_DIR  where mapgen, the floor and run_measured are (default build)
#     -s SEED       the seed mapgen is given (default 1)
#     -d DIR        where the file is written (default $TMPDIR or /tmp); both
#                   programs write it safely, with fsync, so the file system
#                   shows in the wall time: /dev/shm leaves that out
#     -t            both without transparent huge pages
#     -f FLOOR      which floor: volume (default), build/floor, the memory work a
#                   run in the 84 MiB voxel volume cannot avoid; or output,
#                   build/output_floor, a run that only fills a buffer of a map
#                   file's size and writes it the same safe way
#
# Each run is timed by build/run_measured: wall time from fork to exit, CPU time
# (user + system), peak RSS and minor faults as the kernel reports them to wait4,
# the figures /usr/bin/time -f "%e %U %S %M %R" gives, without /usr/bin/time's own
# start-up (some 6 ms of CPU on a busy 2-core machine) in them. CPU time is the
# steadier figure on a machine that others share.
set -euo pipefail

runs=10
build=build
seed=1
dir=${TMPDIR:-/tmp}
thp=()
huge_pages=on
floor=floor
usage() { echo "Usage: bench/compare.sh [-n RUNS] [-b BUILD_DIR] [-s SEED] [-d DIR] [-t] [-f volume|output]" >&2; exit 2; }
while getopts "n:b:s:d:tf:" opt; do
  case $opt in
    n) runs=$OPTARG ;;
    b) build=$OPTARG ;;
    s) seed=$OPTARG ;;
    d) dir=$OPTARG ;;
    t) thp=(-t) huge_pages=off ;;
    f) case $OPTARG in
         volume) floor=floor ;;
         output) floor=output_floor ;;
         *) echo "compare: -f wants volume or output, not '$OPTARG'" >&2; exit 2 ;;
       esac ;;
    *) usage ;;
  esac
done
shift $((OPTIND - 1))
[ $# -eq 0 ] || usage
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || { echo "compare: -n wants a positive number, not '$runs'" >&2; exit 2; }
for program in mapgen "$floor" run_measured; do
  [ -x "$build/$program" ] || { echo "compare: $build/$program is missing; build first" >&2; exit 1; }
done

work=$(mktemp -d "$dir/compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
map="$work/map.vxl"

for ((i = 0; i < runs; i++)); do
  "$build/run_measured" "${thp[@]}" "$build/mapgen" -s "$seed" -o "$map" >>"$work/mapgen"
  "$build/run_measured" "${thp[@]}" "$build/$floor" "$map" >>"$work/floor"
done

# median of column $2 of the file $1
median() {
  sort -g -k "$2,$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

for program in mapgen floor; do
  for column in 1 2 3 4; do
    declare "${program}_$column=$(median "$work/$program" $column)"
  done
done
echo "medians of $runs runs each, alternating; seed $seed; file in $dir; huge pages $huge_pages"
w=$(( ${#floor} > 8 ? ${#floor} : 8 ))
printf "%-${w}s %10s %10s %14s %14s\n" "" "wall ms" "CPU ms" "max RSS KiB" "minor faults"
printf "%-${w}s %10.2f %10.2f %14.0f %14.0f\n" mapgen "$mapgen_1" "$mapgen_2" "$mapgen_3" "$mapgen_4"
printf "%-${w}s %10.2f %10.2f %14.0f %14.0f\n" "$floor" "$floor_1" "$floor_2" "$floor_3" "$floor_4"
awk -v f="$floor" -v mw="$mapgen_1" -v fw="$floor_1" -v mc="$mapgen_2" -v fc="$floor_2" -v mr="$mapgen_3" -v fr="$floor_3" \
  'BEGIN { printf "ratio mapgen/%s: wall %.3f, CPU %.3f, max RSS %.3f (mapgen peak %.1f MiB)\n", f, mw / fw, mc / fc, mr / fr, mr / 1024 }'
