#!/usr/bin/env bash
# Compiles every fenced C and C++ block of docs/guide.md against the
# installed library, links and runs those with a main (next to a photo.bmp
# and a style.bmp), and checks that the guide's table lists every flat
# function of the public header.
#
#   guide_check.sh SOURCE_DIR PREFIX WORK_DIR
set -euo pipefail

src=$1
prefix=$2
work=$3
guide="$src/docs/guide.md"
rm -rf "$work"
mkdir -p "$work/run"
cp "$src/tests/data/coffee_small.bmp" "$work/run/photo.bmp"
cp "$src/tests/data/transfer/autumn_256.bmp" "$work/run/style.bmp"
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
export LD_LIBRARY_PATH="$prefix/lib"
failures=0

# One file per block: snippet_<n>.c or snippet_<n>.cpp, numbered in order.
awk -v dir="$work" '
    /^```(c|cpp)[ \t]*$/ { lang = substr($0, 4); gsub(/[ \t]/, "", lang); n++; file = sprintf("%s/snippet_%02d.%s", dir, n, lang); inside = 1; next }
    /^```/ { inside = 0; next }
    inside { print > file }
' "$guide"

c_blocks=$(find "$work" -maxdepth 1 -name 'snippet_*.c' | wc -l)
cpp_blocks=$(find "$work" -maxdepth 1 -name 'snippet_*.cpp' | wc -l)
if ((c_blocks < 5 || cpp_blocks < 2)); then
    echo "FAIL: found only $c_blocks C and $cpp_blocks C++ blocks in the guide"
    exit 1
fi

flags=$(pkg-config --cflags --libs huevane)
programs=0
for f in "$work"/snippet_*; do
    case $f in
        *.c) compile=(cc -std=c99 -pedantic) ;;
        *.cpp) compile=(c++ -std=c++17) ;;
    esac
    name=$(basename "$f")
    if grep -q '^int main(' "$f"; then
        if ! eval "${compile[*]} -Wall -Wextra -Werror \"\$f\" -o \"\$f.bin\" $flags" 2>"$f.log"; then
            echo "FAIL: $name does not build:"
            sed 's/^/    /' "$f.log"
            failures=$((failures + 1))
            continue
        fi
        programs=$((programs + 1))
        if ! (cd "$work/run" && "$f.bin" >"$f.out" 2>&1); then
            echo "FAIL: $name exits with an error:"
            sed 's/^/    /' "$f.out"
            failures=$((failures + 1))
        fi
    elif ! eval "${compile[*]} -Wall -Wextra -Werror -c \"\$f\" -o \"\$f.o\" $flags" 2>"$f.log"; then
        echo "FAIL: $name does not compile:"
        sed 's/^/    /' "$f.log"
        failures=$((failures + 1))
    fi
done
if ((programs < 3)); then
    echo "FAIL: only $programs blocks are whole programs"
    failures=$((failures + 1))
fi

# Every flat function and global-memory call has its row in a table.
for fn in $(sed -n 's/^HUEVANE_API .*HUEVANE_CALL \([A-Za-z0-9_]*\)(.*/\1/p' "$src/include/huevane/huevane.h") \
          $(sed -n 's/^HUEVANE_API [A-Za-z_*]* *\(Global[A-Za-z]*\)(.*/\1/p' "$src/include/huevane/platform.h"); do
    if ! grep -q "^| \`$fn\`\\( \\|(\\)" "$guide"; then
        echo "FAIL: the guide's tables do not list $fn"
        failures=$((failures + 1))
    fi
done

if ((failures)); then
    echo "$failures failures"
    exit 1
fi
echo "ok: $c_blocks C and $cpp_blocks C++ blocks, $programs programs run"
