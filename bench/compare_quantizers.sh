#!/usr/bin/env bash
# Compares our 256-colour reduction with pngquant, both without dithering, on
# the sample photos resampled to one size (768 x 512 by default): PSNR over
# RGB against the original, the CPU time (user + system) of each whole
# command (decode, reduce, encode, from the same PNG input), and our
# reduction alone (CPU milliseconds). Measuring only: pngquant is not a
# dependency of the build.
#
#   bench/compare_quantizers.sh [--size WxH] [photo ...]
#       photos are names of samples/ without extension (default: all seven)
#
# Needs the release build (make) with the image I/O component, and pngquant
# (Debian package pngquant).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bench=$root/build/release/bench/huevane_bench
size=768x512
if [ "${1:-}" = --size ]; then
    size=$2
    shift 2
fi
width=${size%x*} height=${size#*x}

command -v pngquant > /dev/null || { echo "needs pngquant (Debian package pngquant)" >&2; exit 1; }
[ -x "$bench" ] || (cd "$root" && make release BENCH=ON > /dev/null)

photos=("$@")
[ ${#photos[@]} -gt 0 ] || photos=(astronaut autumn chelsea coffee cups rocket water)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs a command quietly and prints its CPU seconds (user + system).
cputime() {
    local TIMEFORMAT='%U %S' t
    t=$( { time "$@" > "$work/out.txt" 2> "$work/err.txt"; } 2>&1 ) || { cat "$work/err.txt" >&2; exit 1; }
    awk -v t="$t" 'BEGIN { split(t, a, " "); printf "%.3f", a[1] + a[2] }'
}
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }

echo "size $size, load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-10s | %9s %9s | %9s %9s | %s\n' photo "ours dB" "pngq dB" "ours s" "pngq s" "ours reduce ms"
sum_o=0 sum_p=0 sum_os=0 sum_ps=0 sum_r=0
for name in "${photos[@]}"; do
    src=$(ls "$root/samples/$name".* | head -1)
    in=$work/$name.png ref=$work/$name.bmp
    "$bench" --convert "$src" "$in" "$width" "$height"
    "$bench" --convert "$in" "$ref"

    ours_s=$(cputime "$bench" --reduce "$in" "$work/ours.png")
    read -r _ reduce_s _ < "$work/out.txt"
    pq_s=$(cputime pngquant --nofs --speed 3 --force --output "$work/pq.png" 256 "$in")

    ours_db=$("$bench" --psnr "$ref" "$work/ours.png")
    pq_db=$("$bench" --psnr "$ref" "$work/pq.png")
    sum_o=$(calc "$sum_o + $ours_db")
    sum_p=$(calc "$sum_p + $pq_db")
    sum_os=$(calc "$sum_os + $ours_s")
    sum_ps=$(calc "$sum_ps + $pq_s")
    sum_r=$(calc "$sum_r + $reduce_s * 1000")
    printf '%-10s | %9.3f %9.3f | %9.3f %9.3f | %.1f\n' "$name" "$ours_db" "$pq_db" "$ours_s" "$pq_s" \
        "$(calc "$reduce_s * 1000")"
done
n=${#photos[@]}
printf '%-10s | %9.3f %9.3f | %9.3f %9.3f | %.1f\n' mean "$(calc "$sum_o / $n")" "$(calc "$sum_p / $n")" \
    "$(calc "$sum_os / $n")" "$(calc "$sum_ps / $n")" "$(calc "$sum_r / $n")"
