#!/usr/bin/env bash
# A whole run of mapgen against the floor (the memory work no run can avoid):
# runs `mapgen -s 1 -o FILE` and `floor FILE` alternately, so that both meet the
# same machine, and prints the medians of wall time, peak resident memory and
# minor page faults of each, and the ratios mapgen / floor.
#
#   bench/compare.sh [-n RUNS] [-b BUILD_DIR] [-s SEED] [-d DIR] [-t]
#     -n RUNS       runs of each program (default 10, at least 1)
#     -b BUILD_DIR  where mapgen and floor are (default build)
#     -s SEED       the seed mapgen is given (default 1)
#     -d DIR        where the file is written (default a new directory in /tmp);
#                   both programs write it safely, with fsync, so the file system
#                   shows in the wall time: /dev/shm leaves that out
#     -t            both without transparent huge pages (through without_thp)
#
# Wall time is taken around /usr/bin/time, so both figures carry the same small
# cost of starting it; memory and faults are what /usr/bin/time reports. CPU time
# (user + system, to the millisecond, from the shell's account of its children)
# is the steadier figure on a machine that others share.
set -euo pipefail

runs=10
build=build
seed=1
dir=${TMPDIR:-/tmp}
thp=on
usage() { echo "Usage: bench/compare.sh [-n RUNS] [-b BUILD_DIR] [-s SEED] [-d DIR] [-t]" >&2; exit 2; }
while getopts "n:b:s:d:t" opt; do
  case $opt in
    n) runs=$OPTARG ;;
    b) build=$OPTARG ;;
    s) seed=$OPTARG ;;
    d) dir=$OPTARG ;;
    t) thp=off ;;
    *) usage ;;
  esac
done
shift $((OPTIND - 1))
[ $# -eq 0 ] || usage
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || { echo "compare: -n wants a positive number, not '$runs'" >&2; exit 2; }
wrap=()
[ "$thp" = on ] || wrap=("$build/without_thp")
for program in mapgen floor $([ "$thp" = on ] || echo without_thp); do
  [ -x "$build/$program" ] || { echo "compare: $build/$program is missing; build first" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "compare: /usr/bin/time is missing (Debian package 'time')" >&2; exit 1; }

work=$(mktemp -d "$dir/compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
map="$work/map.vxl"

# Sets cpu to the user + system seconds of all children the shell has waited
# for. `times` runs in this shell (a command substitution would be a new shell
# without children); its second line reads like "0m0.120s 0m0.050s".
children_cpu() {
  times >"$work/times"
  cpu=$(awk 'NR == 2 { split($0, f, /[ms ]+/); printf "%.3f", f[1] * 60 + f[2] + f[3] * 60 + f[4] }' "$work/times")
}

# Appends "wall_ms max_rss_kib minor_faults cpu_ms" of one run of the command to a file.
measure() {
  local out=$1
  shift
  local cpu cpu_before start end
  children_cpu
  cpu_before=$cpu
  start=$EPOCHREALTIME
  /usr/bin/time -f "%M %R" -o "$work/time" "${wrap[@]}" "$@" >/dev/null
  end=$EPOCHREALTIME
  children_cpu
  awk -v a="$start" -v b="$end" -v c0="$cpu_before" -v c1="$cpu" -v rest="$(tail -n 1 "$work/time")" \
    'BEGIN { printf "%.3f %s %.0f\n", (b - a) * 1000, rest, (c1 - c0) * 1000 }' >>"$out"
}

for ((i = 0; i < runs; i++)); do
  measure "$work/mapgen" "$build/mapgen" -s "$seed" -o "$map"
  measure "$work/floor" "$build/floor" "$map"
done

# median of column $2 of file $1
median() { sort -g -k "$2,$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

mapgen_wall=$(median "$work/mapgen" 1)
floor_wall=$(median "$work/floor" 1)
mapgen_cpu=$(median "$work/mapgen" 4)
floor_cpu=$(median "$work/floor" 4)
mapgen_rss=$(median "$work/mapgen" 2)
floor_rss=$(median "$work/floor" 2)
echo "runs: $runs of each, alternating; seed $seed; file in $dir; transparent huge pages $thp"
printf "%-8s %10s %10s %14s %14s\n" "" "wall ms" "CPU ms" "max RSS KiB" "minor faults"
printf "%-8s %10.2f %10.0f %14.0f %14.0f\n" mapgen "$mapgen_wall" "$mapgen_cpu" "$mapgen_rss" "$(median "$work/mapgen" 3)"
printf "%-8s %10.2f %10.0f %14.0f %14.0f\n" floor "$floor_wall" "$floor_cpu" "$floor_rss" "$(median "$work/floor" 3)"
awk -v mw="$mapgen_wall" -v fw="$floor_wall" -v mc="$mapgen_cpu" -v fc="$floor_cpu" -v mr="$mapgen_rss" -v fr="$floor_rss" \
  'BEGIN { printf "ratio mapgen/floor: wall %.3f, CPU %.3f, max RSS %.3f (mapgen peak %.1f MiB)\n", mw / fw, (fc > 0 ? mc / fc : 0), mr / fr, mr / 1024 }'
