#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the fuzzer and the previews
# need, and only when one of them is missing, so a machine that has them all
# needs no network.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libbenchmark-dev libpng-dev zlib1g-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}" >&2
  sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# js: the outside readers that check vxltool's exports (.ci/steps/50-formats.sh),
# npm packages pinned by tests/js/package-lock.json. Node.js and npm come from
# Debian when the machine has none.
if ! command -v npm >/dev/null; then
  echo "install-deps: installing nodejs npm" >&2
  sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends nodejs npm
fi
js=$(dirname "$0")/../tests/js
if [ ! -d "$js/node_modules" ] || [ "$js/package-lock.json" -nt "$js/node_modules/.package-lock.json" ]; then
  echo "install-deps: npm ci in tests/js" >&2
  (cd "$js" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
fi
