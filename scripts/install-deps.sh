#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the fuzzer and the previews
# need, and only when one of them is missing, so a machine that has them all
# needs no network.
set -euo pipefail
# acl, attr and time: the tests set ACLs and extended attributes; time measures peak memory.
packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libbenchmark-dev libpng-dev zlib1g-dev acl attr time)
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
