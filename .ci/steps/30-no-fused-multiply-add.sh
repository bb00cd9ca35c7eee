#!/usr/bin/env bash
# No fused multiply-add anywhere in the library: a fused a * b + c rounds once
# where the map's arithmetic rounds twice, and changes a value now and then. The
# flags forbid contraction and the hand-vectorised noise kernels use plain
# multiplies and adds; this checks what the compiler actually emitted.
set -euo pipefail
library=build/libmapgen_core.a
if ! command -v objdump >/dev/null; then
  echo "no-fma: objdump not installed, check skipped"
  exit 0
fi
[ -f "$library" ] || { echo "ci: $library missing (the README test line builds it)" >&2; exit 1; }
fused=$(objdump -d --no-show-raw-insn "$library" | grep -E '\bv?fn?m(add|sub)[0-9a-z]*\b' || true)
if [ -n "$fused" ]; then
  echo "ci: fused multiply-add in $library:" >&2
  echo "$fused" | head -20 >&2
  exit 1
fi
echo "no-fma: $library holds no fused multiply-add instruction"
