#!/bin/sh
# Checks a Windows build of the library by its PE tables:
#  - every flat function declared in the public header (HUEVANE_API ...
#    HUEVANE_CALL Name(...)) is exported under its plain, undecorated name;
#  - the DLL imports nothing but DLLs that come with Windows.
# Usage: check_exports.sh OBJDUMP DLL HEADER
set -eu

if [ $# -ne 3 ]; then
    echo "usage: $0 OBJDUMP DLL HEADER" >&2
    exit 2
fi
objdump=$1
dll=$2
header=$3

# DLLs every Windows system has. Anything else (libstdc++-6.dll,
# libgcc_s_*.dll, libwinpthread-1.dll, ...) would have to ship with the DLL.
system_dlls='kernel32.dll user32.dll gdi32.dll advapi32.dll msvcrt.dll ntdll.dll ucrtbase.dll'

[ -f "$dll" ] || { echo "check_exports: $dll not found" >&2; exit 1; }
[ -f "$header" ] || { echo "check_exports: $header not found" >&2; exit 1; }

# The header without comments, one statement (up to ';' or '{') per line.
statements=$(awk '
    BEGIN { state = 0 }   # 0 code, 1 block comment
    {
        line = $0; out = ""; i = 1; n = length(line)
        while (i <= n) {
            two = substr(line, i, 2)
            if (state == 1) {
                if (two == "*/") { state = 0; i += 2; out = out " " } else i++
            } else if (two == "/*") { state = 1; i += 2
            } else if (two == "//") { break
            } else { out = out substr(line, i, 1); i++ }
        }
        printf "%s ", out
    }' "$header" | tr ';{' '\n\n')

wanted=$(printf '%s\n' "$statements" | grep 'HUEVANE_API' |
    grep -oE 'HUEVANE_CALL[[:space:]]+[A-Za-z_][A-Za-z0-9_]*[[:space:]]*\(' |
    sed -E 's/^HUEVANE_CALL[[:space:]]+//; s/[[:space:]]*\($//' | sort -u)
if [ -z "$wanted" ]; then
    echo "check_exports: no HUEVANE_API ... HUEVANE_CALL declarations found in $header" >&2
    exit 1
fi

table=$("$objdump" -p "$dll")
exports=$(printf '%s\n' "$table" |
    sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -nE 's/^[[:space:]]*\[[[:space:]]*[0-9]+\][[:space:]]+([^[:space:]]+).*/\1/p')
imports=$(printf '%s\n' "$table" | sed -nE 's/^[[:space:]]*DLL Name:[[:space:]]*//p')

status=0
count=0
for name in $wanted; do
    count=$((count + 1))
    if ! printf '%s\n' "$exports" | grep -qxF "$name"; then
        echo "check_exports: $dll does not export $name" >&2
        status=1
    fi
    # A decorated twin (_Name, Name@8) means the calling convention or the
    # name mangling went wrong.
    if printf '%s\n' "$exports" | grep -qE "^_$name(@[0-9]+)?\$|^$name@[0-9]+\$"; then
        echo "check_exports: $dll exports a decorated form of $name" >&2
        status=1
    fi
done

for imp in $imports; do
    lower=$(printf '%s' "$imp" | tr 'A-Z' 'a-z')
    case " $system_dlls " in
        *" $lower "*) ;;
        *) case "$lower" in
               api-ms-win-*) ;;
               *) echo "check_exports: $dll needs $imp, which is not a system DLL" >&2
                  status=1 ;;
           esac ;;
    esac
done

if [ $status -eq 0 ]; then
    echo "check_exports: $dll exports all $count flat functions undecorated and imports only" \
         "$(printf '%s' "$imports" | tr '\n' ' ')"
fi
exit $status
