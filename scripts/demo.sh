#!/usr/bin/env bash
# Reduces every sample photo to 256 colours with the huevane tool, writing
# out/<name>-reduced.png and out/<name>-before-after.png (original on the
# left, reduced on the right), then prints one summary line per photo.
set -euo pipefail

tool=${1:-build/release/huevane}
samples=${SAMPLES:-samples}
out=${OUT:-out}

if [[ ! -x $tool ]]; then
    echo "demo: no huevane tool at '$tool' (run 'make' first)" >&2
    exit 1
fi
mkdir -p "$out"

summary=()
failed=0
for photo in "$samples"/*.png "$samples"/*.jpg; do
    [[ -e $photo ]] || continue
    name=$(basename "${photo%.*}")
    if line=$("$tool" reduce "$photo" -o "$out/$name-reduced.png" --side-by-side "$out/$name-before-after.png"); then
        echo "$line"
        summary+=("$line")
    else
        echo "demo: reducing $photo failed" >&2
        failed=$((failed + 1))
    fi
done

if (( ${#summary[@]} + failed == 0 )); then
    echo "demo: no .png or .jpg photos in $samples/" >&2
    exit 1
fi
echo
echo "Reduced ${#summary[@]} photos to 256 colours into $out/ ($failed failed):"
pattern='([^/]+): ([0-9]+ x [0-9]+).*, ([0-9]+) colours, PSNR ([^ ]+) dB, ([0-9.]+) ms'
printf '  %-16s %-13s %8s %10s %11s\n' photo size colours PSNR time
for line in "${summary[@]}"; do
    [[ $line =~ $pattern ]] || continue
    r=("${BASH_REMATCH[@]}")
    printf '  %-16s %-13s %8s %7s dB %8s ms\n' "${r[1]}" "${r[2]}" "${r[3]}" "${r[4]}" "${r[5]}"
done
echo "Before and after: $out/*-before-after.png"
[[ $failed -eq 0 ]]
