#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the fuzzer and the previews
# need, and only when one of them is missing, so a machine that has them all
# needs no network. Named groups add what one CI step needs besides:
#   cross  the cross compilers and qemu-user of .ci/steps/25-cross.sh
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libbenchmark-dev libpng-dev zlib1g-dev)
for group in "$@"; do
  case $group in
    cross) packages+=(g++-aarch64-linux-gnu g++-s390x-linux-gnu g++-i686-linux-gnu qemu-user) ;;
    *) echo "install-deps: unknown group '$group' (known: cross)" >&2; exit 2 ;;
  esac
done
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
