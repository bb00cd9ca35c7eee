#!/usr/bin/env bash
# The installed tree holds both programs, their manual pages, the licence and
# vxltool's bash completion, which bash-completion finds there; the pages render
# without warnings, and the installed programs run.
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install build --prefix "$prefix" >/dev/null
for program in mapgen vxltool; do
  test -x "$prefix/bin/$program"
  test -f "$prefix/share/man/man1/$program.1"
done
cmp -s LICENSE "$prefix/share/doc/mapgen/LICENSE" || { echo "ci: share/doc/mapgen/LICENSE not installed" >&2; exit 1; }
completion=$prefix/share/bash-completion/completions/vxltool
cmp -s tools/vxltool-completion.bash "$completion" || { echo "ci: $completion not installed" >&2; exit 1; }
bash scripts/install-deps.sh shell
# bash-completion looks in the share/ folders of XDG_DATA_DIRS.
offered=$(XDG_DATA_DIRS="$prefix/share" bash --norc -c 'source /usr/share/bash-completion/bash_completion
  __load_completion vxltool && COMP_WORDS=(vxltool i) COMP_CWORD=1 && _vxltool && echo "${COMPREPLY[*]}"')
[ "$offered" = info ] || { echo "ci: bash-completion did not load $completion: '$offered'" >&2; exit 1; }
if command -v groff >/dev/null; then
  for page in docs/*.1; do
    warnings=$(groff -man -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || { echo "ci: $page: $warnings" >&2; exit 1; }
  done
fi
usage=$("$prefix/bin/mapgen" -h)
[[ "$usage" == "Usage: $prefix/bin/mapgen {options}"* ]] || { echo "ci: installed mapgen -h: $usage" >&2; exit 1; }
usage=$("$prefix/bin/vxltool" --help)
[[ "$usage" == "usage: vxltool COMMAND"* ]] || { echo "ci: installed vxltool --help: $usage" >&2; exit 1; }
echo "install: bin/mapgen, bin/vxltool, their manual pages, the licence and the completion in place"
