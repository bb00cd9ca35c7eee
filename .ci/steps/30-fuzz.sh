#!/usr/bin/env bash
# Fuzzes the map reader with libFuzzer for a bounded time per target: arbitrary
# bytes in memory, arbitrary bytes as a file (with and without a size limit), and
# whole maps built from a few records run through what vxltool does with a map;
# and the heightmap and colour map readers on arbitrary PNG files. Then it replays the seed corpora, everything the runs added to them and whole
# maps made by mapgen under AddressSanitizer and UndefinedBehaviorSanitizer. Any
# finding fails the step. FUZZ_SECONDS sets the time of each run (default 40 s).
set -euo pipefail
bash scripts/install-deps.sh fuzz
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMAPGEN_FUZZ=ON -DMAPGEN_TESTS=OFF -DMAPGEN_BENCH=OFF >/dev/null
cmake --build build-fuzz --target vxl_parse_fuzzer vxl_file_fuzzer vxl_image_fuzzer png_import_fuzzer
rm -rf build-fuzz/findings && mkdir -p build-fuzz/findings
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
seconds=${FUZZ_SECONDS:-40}

# fuzz <target> <seed corpus> <timeout>: new inputs go to build-fuzz/corpus-<target>;
# the repository's seeds stay as they are. The timeout is per input, in seconds.
fuzz() {
  local target=$1 seeds=$2 timeout=$3
  local found=build-fuzz/corpus-$target log=build-fuzz/$target.log
  rm -rf "$found" && mkdir -p "$found"
  "build-fuzz/$target" -max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="build-fuzz/findings/$target-" "$found" "$seeds" >"$log" 2>&1 || {
    tail -n 60 "$log" >&2
    echo "ci: fuzzing $target failed; the input that broke it is in build-fuzz/findings/" >&2
    exit 1
  }
  local runs
  runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
  echo "fuzz: $target: ${runs:-?} runs in ${seconds} s, $(ls "$found" | wc -l) inputs added, $(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | grep -oE 'cov: [0-9]+ ft: [0-9]+' || true)"
  "build-fuzz/$target" -runs=0 "$seeds" "$found" >"build-fuzz/$target-replay.log" 2>&1 || {
    tail -n 60 "build-fuzz/$target-replay.log" >&2
    exit 1
  }
}
fuzz vxl_parse_fuzzer fuzz/corpus 20
fuzz vxl_file_fuzzer fuzz/corpus 20
# A whole map drawn obliquely under the sanitizers takes up to some 15 s on a busy
# machine (a map whose every other voxel is exposed): slow, not stuck.
fuzz vxl_image_fuzzer fuzz/corpus-image 120
fuzz png_import_fuzzer fuzz/corpus-png 20

# Whole maps, which are too large to mutate, once through the reader.
maps=$(mktemp -d)
trap 'rm -rf "$maps"' EXIT
if [ -x build/mapgen ]; then
  build/mapgen -s 1 -o "$maps/seed1.vxl" >/dev/null
  build/mapgen -d -s 2 -o "$maps/seed2-marked.vxl" >/dev/null
  build-fuzz/vxl_parse_fuzzer "$maps"/*.vxl >build-fuzz/maps.log 2>&1 || { tail -n 60 build-fuzz/maps.log >&2; exit 1; }
fi
echo "fuzz: no findings; replay clean"
