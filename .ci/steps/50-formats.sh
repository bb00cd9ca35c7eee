#!/usr/bin/env bash
# The map makers' formats read by outside readers: generated maps (with and
# without -d) and a map with caves, made by importing a random .vox scene, are
# exported as .glb and .vox; the Khronos glTF validator must find no error in a
# .glb, and vox-reader must count as many voxels in a .vox as `vxltool info`
# counts solid voxels. Heightmaps must bring generated maps back byte for byte.
# Then the .vox reader is fuzzed for a short while and its corpus replayed.
set -euo pipefail
bash scripts/install-deps.sh js fuzz >/dev/null
[ -x build/vxltool ] || { cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null && cmake --build build >/dev/null; }
[ -d tests/js/node_modules ] || { echo "ci: tests/js/node_modules missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

solid_voxels() {  # solid_voxels MAP: the count vxltool info reports
  build/vxltool info --json "$1" | node -e 'let s = ""; process.stdin.on("data", d => s += d).on("end", () => console.log(JSON.parse(s).solid_voxels))'
}

build/mapgen -s 1 -o "$out/seed1.vxl" >/dev/null
build/mapgen -d -s 2 -o "$out/seed2-marked.vxl" >/dev/null
random_voxels=$(node tests/js/make-random-vox.mjs 14 "$out/random.vox")
build/vxltool import "$out/random.vox" -o "$out/caves.vxl" >/dev/null
[ "$(solid_voxels "$out/caves.vxl")" = "$random_voxels" ] || { echo "ci: import of a random .vox lost voxels" >&2; exit 1; }

checks=("$out/random.vox:$random_voxels:3")
for map in seed1 seed2-marked caves; do
  build/vxltool export "$out/$map.vxl" "$out/$map.glb" >/dev/null
  build/vxltool export "$out/$map.vxl" "$out/$map.vox" >/dev/null 2>"$out/$map.notes"
  checks+=("$out/$map.glb" "$out/$map.vox:$(solid_voxels "$out/$map.vxl"):4")
done
node tests/js/check-exports.mjs "${checks[@]}"

# Heightmap round trip through the programs: the same file, byte for byte.
for map in seed1 seed2-marked; do
  build/vxltool export "$out/$map.vxl" --heightmap "$out/h.png" --colours "$out/c.png" >/dev/null
  build/vxltool import --heightmap "$out/h.png" --colours "$out/c.png" -o "$out/back.vxl" >/dev/null
  cmp "$out/$map.vxl" "$out/back.vxl" || { echo "ci: heightmap round trip changed $map" >&2; exit 1; }
done
build/vxltool export "$out/caves.vxl" --heightmap "$out/h.png" 2>"$out/caves.notes" >/dev/null
grep -q 'caves or overhangs' "$out/caves.notes" || { echo "ci: export of a map with caves did not say so" >&2; exit 1; }

# Fuzz the .vox reader (libFuzzer, clang), then replay its corpus.
if command -v clang++ >/dev/null; then
  [ -f build-fuzz/build.ninja ] || CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMAPGEN_FUZZ=ON -DMAPGEN_TESTS=OFF -DMAPGEN_BENCH=OFF >/dev/null
  cmake --build build-fuzz --target vox_parse_fuzzer >/dev/null
  mkdir -p "$out/found" build-fuzz/vox-findings
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  build-fuzz/vox_parse_fuzzer -max_total_time="${FUZZ_SECONDS:-30}" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
    -artifact_prefix=build-fuzz/vox-findings/ "$out/found" fuzz/corpus-vox >build-fuzz/vox-fuzz.log 2>&1 || {
    tail -n 40 build-fuzz/vox-fuzz.log >&2
    echo "ci: the .vox reader broke; the input is in build-fuzz/vox-findings/" >&2
    exit 1
  }
  build-fuzz/vox_parse_fuzzer -runs=0 fuzz/corpus-vox "$out/found" >build-fuzz/vox-replay.log 2>&1 || { tail -n 40 build-fuzz/vox-replay.log >&2; exit 1; }
  echo "formats: .vox reader fuzzed $(grep -o 'Done [0-9]* runs' build-fuzz/vox-fuzz.log | head -1 | cut -d' ' -f2) runs, no findings"
fi
echo "formats: outside readers agree with vxltool; heightmaps round-trip byte for byte"
