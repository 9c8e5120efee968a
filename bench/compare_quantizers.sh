#!/usr/bin/env bash
# Compares our 256-colour reduction with pngquant and ImageMagick, all without
# dithering, on the large sample photos: PSNR over RGB against the original
# and the CPU time (user + system) of each command: decode, reduce, encode,
# from the same PNG input. Our reduction alone is shown apart (CPU time and
# megapixels per CPU second), as the machine may be shared.
#
#   bench/compare_quantizers.sh [photo ...]     (default: autumn cups water)
#
# Needs the release build (make) with the image I/O component; installs the
# Debian packages pngquant and imagemagick when they are missing.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bench=$root/build/release/bench/huevane_bench
convert=/usr/bin/convert

if ! command -v pngquant > /dev/null || [ ! -x "$convert" ]; then
    if [ "$(id -u)" = 0 ]; then
        apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq pngquant imagemagick > /dev/null
    else
        echo "needs the Debian packages pngquant and imagemagick" >&2
        exit 1
    fi
fi
[ -x "$bench" ] || (cd "$root" && make release > /dev/null)

photos=("$@")
[ ${#photos[@]} -gt 0 ] || photos=(autumn cups water)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs a command quietly and prints its CPU seconds (user + system).
cputime() {
    local TIMEFORMAT='%U %S' t
    t=$( { time "$@" > "$work/out.txt" 2> "$work/err.txt"; } 2>&1 ) || { cat "$work/err.txt" >&2; exit 1; }
    awk -v t="$t" 'BEGIN { split(t, a, " "); printf "%.3f", a[1] + a[2] }'
}
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
# PSNR of a result against the reference, both read as 24-bit BMP copies.
psnr() {
    "$convert" "$2" -type TrueColor "BMP3:$work/cmp.bmp"
    "$bench" --psnr "$1" "$work/cmp.bmp"
}

printf '%-8s | %9s %9s %9s | %9s %9s %9s | %s\n' photo "ours dB" "pngq dB" "IM dB" "ours s" "pngq s" "IM s" \
    "ours reduce s (MP/s)"
sum_o=0 sum_p=0 sum_i=0
for name in "${photos[@]}"; do
    src=$(ls "$root/samples/$name".* | head -1)
    in=$work/$name.png ref=$work/$name.bmp
    "$convert" "$src" -type TrueColor "PNG24:$in"
    "$convert" "$src" -type TrueColor "BMP3:$ref"
    pixels=$("$convert" "$src" -format '%[fx:w*h]' info:)

    ours_s=$(cputime "$bench" --reduce "$in" "$work/ours.png")
    read -r _ reduce_s _ < "$work/out.txt"
    pq_s=$(cputime pngquant --nofs --speed 3 --force --output "$work/pq.png" 256 "$in")
    im_s=$(cputime "$convert" "$in" +dither -colors 256 "$work/im.png")

    ours_db=$(psnr "$ref" "$work/ours.png")
    pq_db=$(psnr "$ref" "$work/pq.png")
    im_db=$(psnr "$ref" "$work/im.png")
    sum_o=$(calc "$sum_o + $ours_db")
    sum_p=$(calc "$sum_p + $pq_db")
    sum_i=$(calc "$sum_i + $im_db")
    printf '%-8s | %9.3f %9.3f %9.3f | %9.3f %9.3f %9.3f | %.4f (%.1f)\n' "$name" "$ours_db" "$pq_db" "$im_db" \
        "$ours_s" "$pq_s" "$im_s" \
        "$reduce_s" "$(calc "$pixels / $reduce_s / 1000000")"
done
n=${#photos[@]}
printf '%-8s | %9.3f %9.3f %9.3f |\n' mean "$(calc "$sum_o / $n")" "$(calc "$sum_p / $n")" "$(calc "$sum_i / $n")"
