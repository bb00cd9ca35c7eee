#!/usr/bin/env bash
# vxltool is installed beside mapgen with its manual page, and the installed
# program runs.
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install build --prefix "$prefix" >/dev/null
test -x "$prefix/bin/vxltool"
test -f "$prefix/share/man/man1/vxltool.1"
usage=$("$prefix/bin/vxltool" --help)
[[ "$usage" == "usage: vxltool COMMAND"* ]] || { echo "ci: installed vxltool --help: $usage" >&2; exit 1; }
echo "install: bin/vxltool and share/man/man1/vxltool.1 in place"
