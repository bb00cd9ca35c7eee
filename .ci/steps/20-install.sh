#!/usr/bin/env bash
# The installed tree holds the program and its manual page, the page renders
# without warnings, and the installed program runs.
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install build --prefix "$prefix" >/dev/null
test -x "$prefix/bin/mapgen"
test -f "$prefix/share/man/man1/mapgen.1"
if command -v groff >/dev/null; then
  for page in docs/*.1; do
    warnings=$(groff -man -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || { echo "ci: $page: $warnings" >&2; exit 1; }
  done
fi
usage=$("$prefix/bin/mapgen" -h)
[[ "$usage" == "Usage: $prefix/bin/mapgen {options}"* ]] || { echo "ci: installed mapgen -h: $usage" >&2; exit 1; }
echo "install: bin/mapgen and share/man/man1/mapgen.1 in place"
