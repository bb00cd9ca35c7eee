# Sourced by .ci/run and its steps. The tree builds without compiler warnings
# (GCC 12 and clang 14, -Wall -Wextra); on a clean clone each build compiles
# every file, so a warning in its log is a new one.
no_warnings() {  # no_warnings <log> <build>
  if grep -q ': warning: ' "$1"; then
    grep -A3 ': warning: ' "$1" >&2
    echo "ci: the $2 prints compiler warnings" >&2
    exit 1
  fi
}
