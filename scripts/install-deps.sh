#!/usr/bin/env bash
# Installs what a build needs, by group, and only what is missing: a machine that
# has it all needs no network and installs nothing.
#
#   bash scripts/install-deps.sh              the programs, mapgen and vxltool
#   bash scripts/install-deps.sh tests        the programs and their tests
#   bash scripts/install-deps.sh fuzz bench   several groups at once
#   bash scripts/install-deps.sh --list       the groups and what they hold
set -euo pipefail

# ---- the groups: one line each.
# group NAME "WHAT IT IS FOR" "DEBIAN PACKAGES and @GROUPS" ["COMMAND"]
# A group holds the packages of every @group it names. COMMAND, when given, runs
# after the packages are in place, from the repository's top folder; it must
# itself do nothing when its work is already done. 'all' is every group.
declare -A about packages commands
names=()
# js: Node.js's npm (part of some nodejs packages, a package of its own in
# Debian's), then the npm packages of tests/js as its lock file pins them.
js_command='command -v npm >/dev/null || { s=; [ "$(id -u)" -eq 0 ] || s=sudo;
  DEBIAN_FRONTEND=noninteractive $s apt-get install -y -q --no-install-recommends npm; }
[ tests/js/node_modules/.package-lock.json -nt tests/js/package-lock.json ] ||
  { echo "install-deps: npm ci in tests/js"; (cd tests/js && npm ci --no-audit --no-fund --loglevel=error); }' 
group() { names+=("$1"); about[$1]=$2; packages[$1]=$3; commands[$1]=${4:-}; }

group programs "build mapgen and vxltool"                          "cmake ninja-build g++ libpng-dev zlib1g-dev libdeflate-dev"
group tests    "the unit and end-to-end tests (acl, attr: ACLs and extended attributes kept)" "@programs libgtest-dev acl attr"
group bench    "the micro-benchmarks (build/mapgen_bench), and /usr/bin/time for peak memory" "@programs libbenchmark-dev time"
group clang    "builds with clang (the build matrix)"              "@programs clang"
group fuzz     "the libFuzzer build of the map loader"             "@programs clang libclang-rt-14-dev"
group library  "outside programs built against the installed library: pkg-config, cc, Python for ctypes" "@programs pkg-config gcc python3 binutils"
group shell    "bash-completion, which loads vxltool's completion" "bash-completion"
group browser  "Debian's Chromium, for the page and gallery tests" "chromium"
group web      "the page's npm packages: npm ci in web/"           "nodejs" \
    'cmp -s web/package-lock.json web/node_modules/.installed-from-lock || { (cd web && npm ci --no-audit --no-fund --loglevel=error) && cp web/package-lock.json web/node_modules/.installed-from-lock; }'
group js       "the outside readers that check vxltool's exports"  "nodejs" "$js_command"
group dev      "everything the developers and CI use"              "@tests @bench @clang @fuzz @library @shell @browser @web @js"
group cross    "cross builds for aarch64, s390x, i686, under qemu" "@tests g++-aarch64-linux-gnu g++-s390x-linux-gnu g++-i686-linux-gnu qemu-user"

# ---- resolving and installing

usage() {
    echo "usage: bash scripts/install-deps.sh [GROUP...]   (no GROUP: programs)"
    echo "groups:"
    for name in "${names[@]}"; do printf '  %-9s %s\n' "$name" "${about[$name]}"; done
    printf '  %-9s %s\n' all "every group above"
}

wanted=()        # packages, each once, in the order first named
run=()           # commands of the chosen groups, each once
declare -A seen_group seen_package
add_group() {  # add_group NAME: its packages and command, and those of the groups it names
    local name=$1 item
    [ -z "${seen_group[$name]:-}" ] || return 0
    seen_group[$name]=1
    for item in ${packages[$name]}; do
        if [[ $item == @* ]]; then
            add_group "${item#@}"
        elif [ -z "${seen_package[$item]:-}" ]; then
            seen_package[$item]=1
            wanted+=("$item")
        fi
    done
    [ -z "${commands[$name]}" ] || run+=("${commands[$name]}")
}

[ $# -gt 0 ] || set -- programs
chosen=()
for arg in "$@"; do
    case $arg in
        -h | --help | --list) usage; exit 0 ;;
        all) chosen+=("${names[@]}") ;;
        *)
            if [ -z "${about[$arg]+set}" ]; then
                echo "install-deps: unknown group '$arg'" >&2
                usage >&2
                exit 2
            fi
            chosen+=("$arg") ;;
    esac
done
for name in "${chosen[@]}"; do add_group "$name"; done

missing=()
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: $*: ${wanted[*]}: all present, nothing installed"
else
    echo "install-deps: $*: installing ${missing[*]}"
    sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
cd "$(dirname "$0")/.."
for command in "${run[@]}"; do
    bash -c "$command"
done
