#!/usr/bin/env bash
# Installs the Debian packages that the given make targets need, if missing.
#
#   scripts/setup.sh TARGET...     targets: build test bench package fuzz windows python
#
# Each package is checked with dpkg -s; the missing ones are installed with
# apt-get (through sudo when not run as root), after saying which. On a system
# without apt-get the script lists what is missing and stops with status 1.
# HUEVANE_SKIP_SETUP=1 skips every check (for machines set up by other means).
# This is the one list of the build's packages: the Makefile and .ci/run use it.
set -euo pipefail

packages_for() {
    case $1 in
        build)   echo cmake make g++ pkg-config libpng-dev libjpeg-dev zlib1g-dev ;;
        test)    packages_for build; echo libgtest-dev ;;
        bench)   packages_for build; echo libbenchmark-dev ;;
        package) packages_for build; echo dpkg-dev ;;
        fuzz)    packages_for build; echo clang libclang-rt-14-dev ;;
        windows) echo cmake make g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64 googletest ;;
        # The Python module (for /usr/bin/python3), its tests and pip install.
        python)  echo pybind11-dev python3-dev python3-numpy python3-pil python3-pytest \
                      python3-setuptools python3-wheel python3-pip python3-venv ;;
        *) return 1 ;;
    esac
}

if (($# == 0)); then
    echo "usage: scripts/setup.sh TARGET... (build, test, bench, package, fuzz, windows, python)" >&2
    exit 2
fi
if [[ ${HUEVANE_SKIP_SETUP:-} == 1 ]]; then
    exit 0
fi

wanted=()
for target in "$@"; do
    if ! list=$(packages_for "$target"); then
        echo "setup: unknown target '$target' (build, test, bench, package, fuzz, windows, python)" >&2
        exit 2
    fi
    for p in $list; do
        [[ " ${wanted[*]} " == *" $p "* ]] || wanted+=("$p")
    done
done

installed() {
    local status
    status=$(dpkg -s "$1" 2>/dev/null) || return 1
    [[ $status == *"Status: install ok installed"* ]]
}

missing=()
if command -v dpkg >/dev/null 2>&1; then
    for p in "${wanted[@]}"; do
        installed "$p" || missing+=("$p")
    done
else
    missing=("${wanted[@]}")
fi
if ((${#missing[@]} == 0)); then
    exit 0
fi

if ! command -v apt-get >/dev/null 2>&1 || ! command -v dpkg >/dev/null 2>&1; then
    {
        echo "setup: this machine has no apt-get (or no dpkg), so the packages that 'make $*' needs"
        echo "cannot be installed here. These are missing or could not be checked (Debian names):"
        printf '    %s\n' "${missing[@]}"
        echo "Install their equivalents with your system's package manager, then run make again"
        echo "with HUEVANE_SKIP_SETUP=1."
    } >&2
    exit 1
fi

sudo=()
if [[ $(id -u) != 0 ]]; then
    if ! command -v sudo >/dev/null 2>&1; then
        echo "setup: missing packages: ${missing[*]}" >&2
        echo "setup: installing them needs root, and sudo is not available; run as root:" >&2
        echo "    apt-get install ${missing[*]}" >&2
        exit 1
    fi
    sudo=(sudo)
fi

echo "setup: installing ${missing[*]} (needed by 'make $*')" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
