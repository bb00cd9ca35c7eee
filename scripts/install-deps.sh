#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the fuzzer and the previews
# need, and only when one of them is missing, so a machine that has them all
# needs no network. Groups named on the command line add to that:
#   browser  Debian's chromium, for the page and gallery tests in a real browser
#   web      the page's npm packages: npm ci in web/ (three.js, playwright-core),
#            skipped while web/node_modules was installed from the same lock file
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libbenchmark-dev libpng-dev zlib1g-dev)
want_web=0
for group in "$@"; do
  case "$group" in
    browser) packages+=(chromium) ;;
    web) want_web=1 ;;
    *) echo "install-deps: unknown group '$group' (browser, web)" >&2; exit 2 ;;
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

if [ "$want_web" = 1 ]; then
  web="$(cd "$(dirname "$0")/.." && pwd)/web"
  command -v npm >/dev/null || { echo "install-deps: the web group needs Node.js 20 and npm" >&2; exit 1; }
  stamp="$web/node_modules/.installed-from-lock"
  if ! cmp -s "$web/package-lock.json" "$stamp"; then
    echo "install-deps: npm ci in web/" >&2
    (cd "$web" && npm ci --no-audit --no-fund --loglevel=error)
    cp "$web/package-lock.json" "$stamp"
  fi
fi
