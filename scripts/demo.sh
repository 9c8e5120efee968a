#!/usr/bin/env bash
# Re-colours each bundled sample photo in the style of another with the
# huevane tool. For every pair it writes
#   out/<target>-like-<style>.jpg          the re-coloured photo
#   out/<target>-like-<style>-compare.png  target, style and result side by
#                                          side, each with its colour theme
#                                          as a bar under it
# and prints one line per pair; then
#   out/coffee-extractions.png             the coffee photo with the colour
#                                          bars of the five extractions
#                                          (default, g, d, cg, q), labelled
set -euo pipefail

tool=${1:-build/release/huevane}
samples=${SAMPLES:-samples}
out=${OUT:-out}

if [[ ! -x $tool ]]; then
    echo "demo: no huevane tool at '$tool' (run 'make' first)" >&2
    exit 1
fi
mkdir -p "$out"

# target:style, each photo once as a target.
pairs=(chelsea:autumn coffee:water astronaut:chelsea rocket:cups autumn:coffee cups:astronaut water:rocket)

find_sample() {
    local f
    for f in "$samples/$1.png" "$samples/$1.jpg"; do
        [[ -e $f ]] && { echo "$f"; return 0; }
    done
    return 1
}

done_pairs=0
failed=0
start=$SECONDS
for pair in "${pairs[@]}"; do
    target=${pair%%:*}
    style=${pair##*:}
    if ! t=$(find_sample "$target") || ! s=$(find_sample "$style"); then
        echo "demo: skipping $target in the style of $style (sample missing)" >&2
        continue
    fi
    result="$out/$target-like-$style.jpg"
    compare="$out/$target-like-$style-compare.png"
    t0=$SECONDS
    if "$tool" restyle "$t" "$s" -o "$result" --compose "$compare" >/dev/null; then
        printf '  %-10s in the style of %-10s -> %s  (%ds)\n' "$target" "$style" "$compare" $((SECONDS - t0))
        done_pairs=$((done_pairs + 1))
    else
        echo "demo: re-colouring $t in the style of $s failed" >&2
        failed=$((failed + 1))
    fi
done

# The five extractions of one photo, one colour bar each.
if c=$(find_sample coffee); then
    extractions="$out/coffee-extractions.png"
    if "$tool" theme "$c" --compare "$extractions" --card "$samples/css-colours.txt" >/dev/null; then
        printf '  %-10s five extractions              -> %s\n' coffee "$extractions"
    else
        echo "demo: drawing the extractions of $c failed" >&2
        failed=$((failed + 1))
    fi
fi

if (( done_pairs + failed == 0 )); then
    echo "demo: no sample photos in $samples/" >&2
    exit 1
fi
echo
echo "Re-coloured $done_pairs photos in $((SECONDS - start))s ($failed failed)."
echo "Each $out/*-compare.png shows target, style and result with their colour themes."
[[ $failed -eq 0 ]]
