#!/usr/bin/env bash
# Fuzzes the VXL loader with libFuzzer for a bounded time, then replays the seed
# corpus, everything the run added to it and whole maps made by mapgen under
# AddressSanitizer and UndefinedBehaviorSanitizer. Any finding fails the step.
set -euo pipefail
bash scripts/install-deps.sh fuzz
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMAPGEN_FUZZ=ON -DMAPGEN_TESTS=OFF -DMAPGEN_BENCH=OFF >/dev/null
cmake --build build-fuzz --target vxl_parse_fuzzer
fuzzer=build-fuzz/vxl_parse_fuzzer
found=build-fuzz/corpus-found
rm -rf "$found" build-fuzz/findings && mkdir -p "$found" build-fuzz/findings
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# New inputs go to the first folder; the repository's seeds stay as they are.
"$fuzzer" -max_total_time="${FUZZ_SECONDS:-60}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix=build-fuzz/findings/ "$found" fuzz/corpus >build-fuzz/fuzz.log 2>&1 || {
  tail -n 60 build-fuzz/fuzz.log >&2
  echo "ci: the fuzz run failed; any input that broke the loader is in build-fuzz/findings/" >&2
  exit 1
}
grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss_mb)' build-fuzz/fuzz.log || true

# Replay: every input once more, and whole maps, which are too large to mutate.
"$fuzzer" -runs=0 fuzz/corpus "$found" >build-fuzz/replay.log 2>&1 || { tail -n 60 build-fuzz/replay.log >&2; exit 1; }
maps=$(mktemp -d)
trap 'rm -rf "$maps"' EXIT
if [ -x build/mapgen ]; then
  build/mapgen -s 1 -o "$maps/seed1.vxl" >/dev/null
  build/mapgen -d -s 2 -o "$maps/seed2-marked.vxl" >/dev/null
  "$fuzzer" "$maps"/*.vxl >build-fuzz/maps.log 2>&1 || { tail -n 60 build-fuzz/maps.log >&2; exit 1; }
fi
echo "fuzz: $(ls "$found" | wc -l) inputs added to the corpus, no findings; replay clean"
