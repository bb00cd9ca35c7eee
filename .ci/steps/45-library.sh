#!/usr/bin/env bash
# The library as outside programs meet it: installed into a temporary prefix,
# libmapgen.so.0 exports the C API and nothing else; a C program built through
# pkg-config, and a C++ program built through the CMake package (with the shared
# and with the static library, and the C program with the static one) make seed 1 with its size and CRC-32, and a map
# with -d byte for byte as mapgen writes it; the README's C and Python (ctypes)
# examples, taken from the README, run and write mapgen's files.
set -euo pipefail
bash scripts/install-deps.sh library >/dev/null
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install build --prefix "$prefix" >/dev/null
fail() { echo "ci: $*" >&2; exit 1; }
same_as_mapgen() {  # same_as_mapgen FILE MAPGEN-OPTIONS...: FILE is the map mapgen writes
  local file=$1; shift
  build/mapgen "$@" -o "$work/expected.vxl" >/dev/null
  cmp -s "$file" "$work/expected.vxl" || fail "$file is not the map of mapgen $*"
}

# The files, and the rounding flags and -fPIC in every compile of the library's code.
libdir=$prefix/lib
[ -d "$libdir/pkgconfig" ] || libdir=$(dirname "$(dirname "$(find "$prefix" -name mapgen.pc)")")
for file in libmapgen.so.0 libmapgen.so libmapgen.a cmake/mapgen/mapgen-config.cmake pkgconfig/mapgen.pc; do
  [ -e "$libdir/$file" ] || fail "$libdir/$file not installed"
done
for file in mapgen.h mapgen.hpp; do [ -f "$prefix/include/mapgen/$file" ] || fail "include/mapgen/$file not installed"; done
compiles=$(ninja -C build -t commands mapgen_shared | grep -E ' -c ') || fail "build/: no compile commands for mapgen_shared"
missing=$(grep -v -e '-ffp-contract=off' <<<"$compiles"; grep -v -e '-fPIC' <<<"$compiles" || true)
[ -z "$missing" ] || fail "the library is compiled without -ffp-contract=off or -fPIC: $missing"
soname=$(objdump -p "$libdir/libmapgen.so.0" | awk '$1 == "SONAME" {print $2}')
[ "$soname" = libmapgen.so.0 ] || fail "SONAME is '$soname', not libmapgen.so.0"
exported=$(nm -D --defined-only "$libdir/libmapgen.so.0" | awk '{print $3}' | sort | tr '\n' ' ')
[ "$exported" = "MAPGEN_0 mapgen_free@@MAPGEN_0 mapgen_generate@@MAPGEN_0 mapgen_version@@MAPGEN_0 " ] ||
  fail "libmapgen.so.0 exports more or less than the C API: $exported"
global=$(nm --defined-only -g "$libdir/libmapgen.a" | awk 'NF == 3 {print $3}' | sort | tr '\n' ' ')
[ "$global" = "mapgen_free mapgen_generate mapgen_version " ] || fail "libmapgen.a defines more than the C API: $global"
export PKG_CONFIG_PATH=$libdir/pkgconfig LD_LIBRARY_PATH=$libdir
pkg-config --validate mapgen || fail "mapgen.pc is not valid"
version=$(pkg-config --modversion mapgen)
[ "$("$prefix/bin/vxltool" --version)" = "vxltool $version" ] || fail "vxltool --version is not mapgen.pc's $version"

# C through pkg-config, with the header checked as strict C99.
# shellcheck disable=SC2046
cc -std=c99 -pedantic -Wall -Wextra -Werror tests/consumers/c/check_library.c $(pkg-config --cflags --libs mapgen) \
  -o "$work/check_library_c"
"$work/check_library_c" -1234 "$work/c.vxl" >/dev/null
same_as_mapgen "$work/c.vxl" -d -s -1234

# C++ through the CMake package, shared and static, and C with the static library.
cmake -S tests/consumers/cpp -B "$work/cpp" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cpp" >/dev/null
for kind in shared static c_static; do
  "$work/cpp/check_library_$kind" 77 "$work/cpp-$kind.vxl" >/dev/null
  same_as_mapgen "$work/cpp-$kind.vxl" -d -s 77
done
for kind in static c_static; do
  ! ldd "$work/cpp/check_library_$kind" | grep -q libmapgen || fail "check_library_$kind loads libmapgen.so"
done

# The README's examples, as they stand there.
readme_example() {  # readme_example KIND: the block under <!-- library example: KIND -->
  awk -v mark="<!-- library example: $1 -->" '$0 == mark {m = 1; next} m == 1 && /^```/ {m = 2; next}
    m == 2 && /^```/ {exit} m == 2 {print}' README.md
}
mkdir "$work/readme"
readme_example c >"$work/readme/seed1.c"
readme_example python >"$work/readme/example.py"
[ -s "$work/readme/seed1.c" ] && [ -s "$work/readme/example.py" ] || fail "README.md: a library example is missing"
# shellcheck disable=SC2046
(cd "$work/readme" && cc seed1.c $(pkg-config --cflags --libs mapgen) -o seed1 && ./seed1 >/dev/null)
same_as_mapgen "$work/readme/seed1.vxl" -s 1
rm "$work/readme/seed1.vxl"
said=$(cd "$work/readme" && python3 example.py)
[ "$said" = "mapgen $version" ] || fail "the README's Python example said '$said'"
same_as_mapgen "$work/readme/seed1.vxl" -s 1
same_as_mapgen "$work/readme/seed2-marked.vxl" -d -s 2
echo "library: libmapgen.so.0 and libmapgen.a $version installed; C, C++ (shared and static) and Python make mapgen's maps"
