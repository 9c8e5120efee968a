#!/usr/bin/env bash
# Re-colours each bundled sample photo in the style of another with the
# huevane tool. For every pair it writes
#   out/<target>-like-<style>.jpg          the re-coloured photo
#   out/<target>-like-<style>-compare.png  target, style and result side by
#                                          side, each with its colour theme
#                                          as a bar under it
# and prints one line per pair. It also draws the bundled theme libraries
# (out/library-themes.png, out/library-photos.png), re-colours one photo
# with a theme of the list file (out/coffee-glacier*.{jpg,png}) and draws
# the coffee photo with the colour bars of the five extractions (default,
# g, d, cg, q), labelled (out/coffee-extractions.png).
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

# An edit script: the rocket's evening sky becomes the background pocket,
# then the rocket is re-coloured with that theme, which keeps the sky.
#   out/rocket-sky-edit.png              photo, background pixels in colour on
#                                        grey, and the edited theme
#   out/rocket-sky-like-cups-compare.png the re-colouring that keeps the sky
edits="$samples/rocket-sky.edit"
if [[ -e $edits ]] && t=$(find_sample rocket) && s=$(find_sample cups); then
    t0=$SECONDS
    if "$tool" edit "$t" "$edits" -o "$out/rocket-sky.ccs" --show "$out/rocket-sky-edit.png" >/dev/null &&
       "$tool" restyle "$t" "$s" --target-theme "$out/rocket-sky.ccs" -o "$out/rocket-sky-like-cups.jpg" \
           --compose "$out/rocket-sky-like-cups-compare.png" >/dev/null; then
        printf '  %-10s edited by %-16s -> %s  (%ds)\n' rocket "${edits##*/}" "$out/rocket-sky-edit.png" \
            $((SECONDS - t0))
        done_pairs=$((done_pairs + 1))
    else
        echo "demo: editing $t with $edits failed" >&2
        failed=$((failed + 1))
    fi
fi

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

# Theme libraries: the bundled list file of hand-made themes and the script
# file of example photos, each drawn as a sheet; one photo re-coloured with a
# list-file theme.
library=$samples/library
if [[ -e $library/themes.txt && -e $library/photos.txt ]]; then
    for lib in themes photos; do
        if "$tool" library "$library/$lib.txt" --sheet "$out/library-$lib.png" >/dev/null; then
            printf '  library %-21s -> %s\n' "$lib.txt" "$out/library-$lib.png"
        else
            echo "demo: listing $library/$lib.txt failed" >&2
            failed=$((failed + 1))
        fi
    done
    if t=$(find_sample coffee) &&
        "$tool" restyle "$t" --style-library "$library/themes.txt" --theme "Glacier" \
            -o "$out/coffee-glacier.jpg" --compose "$out/coffee-glacier-compare.png" >/dev/null; then
        printf '  %-10s with the theme %-10s -> %s\n' coffee "Glacier" "$out/coffee-glacier-compare.png"
    else
        echo "demo: re-colouring coffee with the theme Glacier failed" >&2
        failed=$((failed + 1))
    fi
fi

if (( done_pairs + failed == 0 )); then
    echo "demo: no sample photos in $samples/" >&2
    exit 1
fi
echo
echo "Re-coloured $done_pairs photos in $((SECONDS - start))s ($failed failed)."
echo "Each $out/*-compare.png shows target, style and result with their colour themes;"
echo "$out/library-*.png show the bundled theme libraries; $out/rocket-sky-edit.png the edit script."
[[ $failed -eq 0 ]]
