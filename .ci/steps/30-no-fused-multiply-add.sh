#!/usr/bin/env bash
# No fused multiply-add anywhere in the library: a fused a * b + c rounds once
# where the map's arithmetic rounds twice, and changes a value now and then. The
# flags forbid contraction and the hand-vectorised noise kernels use plain
# multiplies and adds; this checks what the compiler actually emitted, in the
# native library and in every cross-built one (25-cross.sh), each with its own
# binutils. The 32-bit x86 library must also hold no x87 arithmetic (its 80-bit
# intermediates round elsewhere); x87 loads and stores carry results across calls
# and are exact.
set -euo pipefail
if ! command -v objdump >/dev/null; then
  echo "no-fma: objdump not installed, check skipped"
  exit 0
fi
# The libraries of the rooms the maps are made in, in each build folder.
room_libraries() { ls "$1"/{numerics,terrain,mapfile,volume,library}/libmapgen_*.a 2>/dev/null || true; }
[ -n "$(room_libraries build)" ] || { echo "ci: build/*/libmapgen_*.a missing (the README test line builds them)" >&2; exit 1; }

# Mnemonics, matched whole.
x86_fused='v?fn?m(add|sub)[0-9a-z]*'
x87_arithmetic='fi?(add|sub|subr|mul|div|divr)[lsp]?|f(sqrt|prem1?|scale|rndint|sin|cos|sincos|ptan|patan|yl2x|yl2xp1|2xm1)'
declare -A objdump=([native]=objdump [aarch64]=aarch64-linux-gnu-objdump [s390x]=s390x-linux-gnu-objdump
  [i686]=i686-linux-gnu-objdump)
declare -A forbidden=(
  [native]=$x86_fused
  # scalar fmadd and its kin, the vector fmla and fmls (and their widening forms), SVE's fmad and fmsb
  [aarch64]='fn?m(add|sub|lal?|lsl?|ad|sb)'
  # binary and hexadecimal floating-point multiply-and-add or -subtract, and the vector ones
  [s390x]='m[as][de]b?r?|may[hl]?r?|[vw]fn?m[as](db|sb|xb)?'
  [i686]="$x86_fused|$x87_arithmetic")

checked=()
for dir in build build-cross-*; do
  libraries=$(room_libraries "$dir")
  [ -n "$libraries" ] || continue
  target=native
  [ "$dir" = build ] || target=${dir#build-cross-}
  [ -n "${forbidden[$target]:-}" ] || { echo "ci: $dir: no instruction list for $target" >&2; exit 1; }
  # The mnemonic is the first word after the address and its tab.
  mnemonics=$("${objdump[$target]}" -d --no-show-raw-insn $libraries | awk -F'\t' '/^ *[0-9a-f]+:\t/ {split($2, w, " "); print w[1]}')
  [ -n "$mnemonics" ] || { echo "ci: $dir: nothing disassembled" >&2; exit 1; }
  found=$(grep -E -x "${forbidden[$target]}" <<<"$mnemonics" | sort | uniq -c || true)
  if [ -n "$found" ]; then
    echo "ci: $dir's libraries ($target) hold instructions that round otherwise than the map's arithmetic:" >&2
    echo "$found" >&2
    exit 1
  fi
  checked+=("$target")
done
echo "no-fma: the map's libraries hold no fused multiply-add (${checked[*]}), nor x87 arithmetic where built for i686"
