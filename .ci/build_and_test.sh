# Sourced by the steps that build a whole configured tree, tests included, and
# run its tests: the build must be free of warnings and every test must pass.
source .ci/no_warnings.sh
build_and_test() {  # build_and_test <build dir> <name> <compiler, as CMakeCache names it>
  local dir=$1 name=$2 compiler=$3 log
  grep -q "CMAKE_CXX_COMPILER:.*$compiler" "$dir/CMakeCache.txt" || { echo "ci: $dir is not $compiler" >&2; exit 1; }
  log=$(mktemp -d)
  cmake --build "$dir" >"$log/build.log" 2>&1 || { tail -40 "$log/build.log" >&2; rm -rf "$log"; exit 1; }
  no_warnings "$log/build.log" "$name"
  ctest --test-dir "$dir" -j2 >"$log/tests.log" 2>&1 || {
    ctest --test-dir "$dir" --rerun-failed --output-on-failure >&2 || true
    echo "ci: tests fail in the $name" >&2
    rm -rf "$log"
    exit 1
  }
  grep 'tests passed' "$log/tests.log" | sed "s/^/$name: /"
  rm -rf "$log"
}
