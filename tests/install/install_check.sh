#!/usr/bin/env bash
# Installs Huevane as a user does and builds host programs against it.
#
#   install_check.sh STEP SOURCE_DIR WORK_DIR
#
# install       make install into a prefix with spaces (the release tree is
#               built here, once), and again staged under DESTDIR
# pkgconfig     the examples built with pkg-config against that prefix, run
# find_package  the examples built by CMake with find_package(Huevane), run
# package       make package: the .deb's control data and files
set -euo pipefail

step=$1
src=$2
work=$3
prefix="$work/prefix with spaces"
tree="$work/release"
data="$src/tests/data"
target_bmp="$data/coffee_small.bmp"
style_bmp="$data/transfer/autumn_256.bmp"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# make in the source tree, without the jobserver of a surrounding make.
run_make() {
    env -u MAKEFLAGS -u MFLAGS make --no-print-directory -C "$src" RELEASE_DIR="$tree" "$@"
}

# The colours (#rrggbb) of the lines of stdin that name one, in order.
colours() {
    grep -o '#[0-9a-f]\{6\}' || true
}

# Runs the two example programs of $1 against the installed library and
# checks what they write against the installed tool.
run_examples() {
    local bin=$1 out=$1/out
    mkdir -p "$out"
    export LD_LIBRARY_PATH="$prefix/lib"

    # restyle.c: re-colours the target as the tool does, byte for byte.
    "$bin/restyle" "$target_bmp" "$style_bmp" "$out/re styled.bmp" >"$out/restyle.txt" ||
        fail "restyle example: exit $?"
    "$prefix/bin/huevane" restyle "$target_bmp" "$style_bmp" -o "$out/by tool.bmp" >/dev/null ||
        fail "installed tool cannot restyle"
    cmp -s "$out/re styled.bmp" "$out/by tool.bmp" || fail "the example and the tool re-colour differently"
    cmp -s "$out/re styled.bmp" "$target_bmp" && fail "the example left the target unchanged"
    grep -q "^style .*: [1-9][0-9]* colours" "$out/restyle.txt" || fail "restyle example printed no style colours"
    # The style's colours it prints are the theme the tool extracts.
    "$prefix/bin/huevane" theme "$style_bmp" >"$out/style-theme.txt"
    [[ $(colours <"$out/restyle.txt") == "$(colours <"$out/style-theme.txt")" ]] ||
        fail "restyle example lists other style colours than the tool"
    local code=0
    "$bin/restyle" "$work/no such.bmp" "$style_bmp" "$out/x.bmp" 2>"$out/err.txt" || code=$?
    [[ $code == 1 ]] && grep -q "cannot read" "$out/err.txt" || fail "restyle example on a missing file: exit $code"
    [[ -e "$out/x.bmp" ]] && fail "restyle example wrote a result for a missing input"

    # themes.cpp: the theme it saves and reads back is the one it extracted,
    # and the installed tool reads the same pockets from its file.
    "$bin/themes" "$target_bmp" "$out/coffee theme.ccs" >"$out/themes.txt" || fail "themes example: exit $?"
    local extracted loaded
    extracted=$(sed -n '/^extracted:/,/^[^ ]/p' "$out/themes.txt" | sed '$d' | colours)
    loaded=$(sed -n '/coffee theme.ccs:/,$p' "$out/themes.txt" | colours)
    [[ -n $extracted ]] || fail "themes example printed no pockets"
    [[ $extracted == "$loaded" ]] || fail "themes example read back other pockets than it saved"
    [[ $loaded == "$("$prefix/bin/huevane" theme "$out/coffee theme.ccs" | colours)" ]] ||
        fail "the tool reads other pockets from the example's theme file"
    unset LD_LIBRARY_PATH
}

case $step in
install)
    # The release tree stays from run to run, so a rebuild is incremental.
    rm -rf "$prefix" "$work/stage"
    mkdir -p "$work"
    run_make install PREFIX="$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "make install"; }
    for f in lib/libhuevane.so.0.1.0 include/huevane/huevane.h include/huevane/platform.h include/huevane/theme.h \
             bin/huevane lib/pkgconfig/huevane.pc lib/cmake/Huevane/HuevaneConfig.cmake \
             lib/cmake/Huevane/HuevaneConfigVersion.cmake lib/cmake/Huevane/HuevaneTargets.cmake; do
        [[ -f "$prefix/$f" ]] || fail "make install left out $f"
    done
    [[ $(readlink "$prefix/lib/libhuevane.so") == libhuevane.so.0 ]] || fail "libhuevane.so does not link the soname"
    [[ $(readlink "$prefix/lib/libhuevane.so.0") == libhuevane.so.0.1.0 ]] || fail "no versioned library"
    grep -q 'SONAME.*\[libhuevane\.so\.0\]' <<<"$(readelf -d "$prefix/lib/libhuevane.so.0.1.0")" || fail "soname"
    grep -qw AdjustImageStyle <<<"$(nm -D --defined-only "$prefix/lib/libhuevane.so.0.1.0")" ||
        fail "the library does not export AdjustImageStyle"
    [[ $("$prefix/bin/huevane" --version) == "huevane 0.1.0" ]] || fail "installed tool's --version"
    grep -qx 'prefix=.*prefix\\ with\\ spaces' "$prefix/lib/pkgconfig/huevane.pc" ||
        fail "huevane.pc does not name the prefix with its spaces escaped"

    # DESTDIR stages the same files; they still name the real prefix.
    run_make install PREFIX="$prefix" DESTDIR="$work/stage" >"$work/stage.log" 2>&1 ||
        { cat "$work/stage.log"; fail "make install DESTDIR=..."; }
    [[ -f "$work/stage$prefix/lib/libhuevane.so.0.1.0" && -x "$work/stage$prefix/bin/huevane" ]] ||
        fail "DESTDIR: files not staged under it"
    cmp -s "$work/stage$prefix/lib/pkgconfig/huevane.pc" "$prefix/lib/pkgconfig/huevane.pc" ||
        fail "DESTDIR: huevane.pc names the staging folder"
    ;;
pkgconfig)
    export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
    [[ $(pkg-config --modversion huevane) == 0.1.0 ]] || fail "pkg-config --modversion"
    bin="$work/pkg config"
    rm -rf "$bin"
    mkdir -p "$bin"
    # pkg-config escapes the spaces; the shell reads them back through eval.
    eval "cc -std=c99 -Wall -Wextra -pedantic -Werror \"\$src/examples/restyle.c\" -o \"\$bin/restyle\" \
          $(pkg-config --cflags --libs huevane)" || fail "restyle.c does not build with pkg-config"
    eval "c++ -std=c++17 -Wall -Wextra -Werror \"\$src/examples/themes.cpp\" -o \"\$bin/themes\" \
          $(pkg-config --cflags --libs huevane)" || fail "themes.cpp does not build with pkg-config"
    grep -q 'NEEDED.*\[libhuevane\.so\.0\]' <<<"$(readelf -d "$bin/restyle")" || fail "restyle does not need the soname"
    run_examples "$bin"
    ;;
find_package)
    bin="$work/cmake build"
    rm -rf "$bin"
    cmake -S "$src/examples" -B "$bin" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_C_FLAGS="-Wall -Werror" -DCMAKE_CXX_FLAGS="-Wall -Werror" >"$work/cmake.log" 2>&1 ||
        { cat "$work/cmake.log"; fail "find_package(Huevane)"; }
    cmake --build "$bin" >>"$work/cmake.log" 2>&1 || { cat "$work/cmake.log"; fail "examples do not build"; }
    run_examples "$bin"
    # A version the package does not provide is refused.
    cat >"$work/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.16)
project(too_new LANGUAGES C)
find_package(Huevane 1.0 REQUIRED)
CMAKE
    if cmake -S "$work" -B "$work/too new" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null 2>&1; then
        fail "find_package(Huevane 1.0) accepted version 0.1.0"
    fi
    ;;
package)
    run_make package >"$work/package.log" 2>&1 || { cat "$work/package.log"; fail "make package"; }
    deb=$(ls "$tree"/huevane_0.1.0_*.deb)
    [[ $(dpkg-deb -f "$deb" Package) == huevane ]] || fail "package name"
    [[ $(dpkg-deb -f "$deb" Version) == 0.1.0 ]] || fail "package version"
    [[ $(dpkg-deb -f "$deb" Depends) == *libpng* ]] || fail "the package does not depend on libpng"
    rm -rf "$work/deb root"
    dpkg-deb -x "$deb" "$work/deb root"
    root="$work/deb root"
    for f in usr/lib/libhuevane.so.0.1.0 usr/include/huevane/huevane.h usr/bin/huevane \
             usr/lib/pkgconfig/huevane.pc usr/lib/cmake/Huevane/HuevaneConfig.cmake; do
        [[ -e "$root/$f" ]] || fail "the package lacks /$f"
    done
    grep -qx 'prefix=/usr' "$root/usr/lib/pkgconfig/huevane.pc" || fail "packaged huevane.pc does not name /usr"
    # The package's control files run ldconfig for the shared library.
    dpkg-deb -e "$deb" "$work/deb control"
    grep -q ldconfig "$work/deb control/postinst" || fail "no ldconfig in postinst"
    grep -q 'libhuevane 0 huevane' "$work/deb control/shlibs" || fail "shlibs"
    [[ $("$root/usr/bin/huevane" --version) == "huevane 0.1.0" ]] || fail "packaged tool"
    ;;
*)
    fail "unknown step '$step'"
    ;;
esac
echo "ok: $step"
