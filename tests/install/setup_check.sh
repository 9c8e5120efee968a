#!/usr/bin/env bash
# Checks scripts/setup.sh against stand-ins for dpkg, apt-get, sudo and id,
# so that no package is really checked or installed.
#
#   setup_check.sh SOURCE_DIR WORK_DIR
set -euo pipefail

script="$1/scripts/setup.sh"
work=$2
fake="$work/fake bin"
log="$work/calls.log"
rm -rf "$work"
mkdir -p "$fake"

# dpkg -s NAME: installed when NAME is in $FAKE_INSTALLED, removed with its
# configuration left when in $FAKE_CONFIG_ONLY, unknown otherwise.
cat >"$fake/dpkg" <<'SH'
#!/bin/bash
[[ $1 == -s ]] || exit 2
if [[ " $FAKE_INSTALLED " == *" $2 "* ]]; then
    printf 'Package: %s\nStatus: install ok installed\n' "$2"
elif [[ " $FAKE_CONFIG_ONLY " == *" $2 "* ]]; then
    printf 'Package: %s\nStatus: deinstall ok config-files\n' "$2"
else
    echo "dpkg-query: package '$2' is not installed" >&2
    exit 1
fi
SH
cat >"$fake/apt-get" <<'SH'
#!/bin/bash
echo "apt-get $*" >>"$FAKE_LOG"
SH
cat >"$fake/sudo" <<'SH'
#!/bin/bash
echo "sudo $1" >>"$FAKE_LOG"
"$@"
SH
cat >"$fake/id" <<'SH'
#!/bin/bash
echo "$FAKE_UID"
SH
chmod +x "$fake"/*

build_pkgs="cmake make g++ pkg-config libpng-dev libjpeg-dev zlib1g-dev"
failures=0
code=0
out=""

# run TOOLS INSTALLED UID TARGET...: the script with only the named stand-ins
# on its PATH; sets code, out (stdout and stderr) and the call log.
run() {
    local tools=$1 installed=$2 uid=$3
    shift 3
    local bin="$work/path"
    rm -rf "$bin" "$log"
    mkdir -p "$bin"
    touch "$log"
    for t in $tools; do ln -s "$fake/$t" "$bin/$t"; done
    code=0
    out=$(env -i PATH="$bin" FAKE_INSTALLED="$installed" FAKE_CONFIG_ONLY="${CONFIG_ONLY:-}" FAKE_UID="$uid" \
          FAKE_LOG="$log" ${SKIP:+HUEVANE_SKIP_SETUP=$SKIP} /bin/bash "$script" "$@" 2>&1) || code=$?
}

check() {
    local what=$1
    shift
    if ! "$@"; then
        echo "FAIL: $what (exit $code)"
        echo "  output: $out"
        echo "  calls: $(tr '\n' ';' <"$log")"
        failures=$((failures + 1))
    fi
}

# Everything present: nothing is installed.
run "dpkg apt-get id" "$build_pkgs libgtest-dev" 0 test
check "all present: exit 0" [ $code = 0 ]
check "all present: apt-get not called" [ ! -s "$log" ]

# As root: the missing ones, and only those, through apt-get without sudo.
run "dpkg apt-get id sudo" "cmake make g++ pkg-config" 0 test
check "root: exit 0" [ $code = 0 ]
check "root: apt-get update first" grep -qx "apt-get update -qq" "$log"
check "root: installs exactly the missing packages" \
    grep -qx "apt-get install -y -qq --no-install-recommends libpng-dev libjpeg-dev zlib1g-dev libgtest-dev" "$log"
check "root: no sudo" bash -c "! grep -q '^sudo' '$log'"
check "root: says what it installs" grep -q "installing libpng-dev libjpeg-dev zlib1g-dev libgtest-dev" <<<"$out"

# Not root: through sudo.
run "dpkg apt-get id sudo" "$build_pkgs" 1000 bench
check "user: exit 0" [ $code = 0 ]
check "user: sudo apt-get" grep -qx "sudo apt-get" "$log"
check "user: installs the benchmark library" grep -q "install .* libbenchmark-dev$" "$log"

# Not root and no sudo: a clear stop, nothing run.
run "dpkg apt-get id" "" 1000 build
check "no sudo: exit 1" [ $code = 1 ]
check "no sudo: says root is needed" grep -q "needs root" <<<"$out"
check "no sudo: apt-get not called" [ ! -s "$log" ]

# No apt-get: the list of what is missing, and a stop.
run "dpkg id" "cmake make g++" 0 package
check "no apt-get: exit 1" [ $code = 1 ]
check "no apt-get: says so" grep -q "no apt-get" <<<"$out"
for p in pkg-config libpng-dev libjpeg-dev dpkg-dev; do
    check "no apt-get: lists $p" grep -qx "    $p" <<<"$out"
done
check "no apt-get: does not list what is present" bash -c "! grep -qx '    cmake' <<<\"\$0\"" "$out"

# Neither dpkg nor apt-get: every package listed.
run "id" "" 0 build
check "no dpkg: exit 1" [ $code = 1 ]
check "no dpkg: lists every package" [ "$(grep -c '^    ' <<<"$out")" = 7 ]

# A package removed with its configuration kept is not installed.
CONFIG_ONLY=libjpeg-dev run "dpkg apt-get id" "cmake make g++ pkg-config libpng-dev zlib1g-dev" 0 build
check "config-files only: installed again" grep -q "install .* libjpeg-dev$" "$log"

# Several targets: each package once.
run "dpkg apt-get id" "" 0 test package
check "several targets: cmake once" [ "$(grep -o ' cmake' "$log" | wc -l)" = 1 ]
check "several targets: both extras" grep -q "libgtest-dev dpkg-dev" "$log"

# The Windows cross-build's packages.
run "dpkg apt-get id" "cmake make" 0 windows
check "windows: MinGW, Wine and GoogleTest sources" \
    grep -qx "apt-get install -y -qq --no-install-recommends g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64 googletest" "$log"

# The fuzzing build's compiler and libFuzzer runtime.
run "dpkg apt-get id" "$build_pkgs" 0 fuzz
check "fuzz: clang and its libFuzzer runtime" \
    grep -qx "apt-get install -y -qq --no-install-recommends clang libclang-rt-14-dev" "$log"

# The Python module's interpreter headers, binding library, numpy, Pillow,
# pytest and what pip needs to build it.
run "dpkg apt-get id" "" 0 python
check "python: pybind11, numpy, Pillow, pytest and pip's tools" \
    grep -qx "apt-get install -y -qq --no-install-recommends pybind11-dev python3-dev python3-numpy python3-pil python3-pytest python3-setuptools python3-wheel python3-pip python3-venv" "$log"

# Wrong use, and the escape hatch.
run "dpkg apt-get id" "" 0 frobnicate
check "unknown target: exit 2" [ $code = 2 ]
run "dpkg apt-get id" "" 0
check "no target: exit 2" [ $code = 2 ]
SKIP=1 run "dpkg apt-get id" "" 0 test
check "HUEVANE_SKIP_SETUP=1: exit 0" [ $code = 0 ]
check "HUEVANE_SKIP_SETUP=1: nothing installed" [ ! -s "$log" ]

if ((failures)); then
    echo "$failures checks failed"
    exit 1
fi
echo "ok: set-up script"
