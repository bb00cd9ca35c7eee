# Sourced by the steps that configure builds: a build's compile commands keep
# floating-point contraction off, allow no fast-math, and carry the flags the
# build claims.
check_flags() {  # check_flags <dir> <required flag>...
  local dir=$1; shift
  local commands
  commands=$(ninja -C "$dir" -t commands mapgen | grep -E ' -c ') || { echo "ci: $dir: no compile commands" >&2; exit 1; }
  local missing
  missing=$(grep -v -e '-ffp-contract=off' <<<"$commands" || true)
  [ -z "$missing" ] || { echo "ci: $dir compiles without -ffp-contract=off:" >&2; echo "$missing" >&2; exit 1; }
  if grep -q -E -e '-ffast-math|-Ofast|-ffp-contract=(fast|on)' <<<"$commands"; then
    echo "ci: $dir allows fast-math or contraction" >&2; exit 1
  fi
  for flag in "$@"; do
    local without
    without=$(grep -v -e "$flag" <<<"$commands" || true)
    [ -z "$without" ] || { echo "ci: $dir compiles without $flag:" >&2; echo "$without" >&2; exit 1; }
  done
}
