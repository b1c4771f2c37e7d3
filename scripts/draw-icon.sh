#!/usr/bin/env bash
# Draws res/Quorvex.ico: a disc with a "slower" badge, at 16, 32 and 48 pixels.
set -euo pipefail
out=${1:-"$(dirname "$0")/../res/Quorvex.ico"}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
calc() { echo "$*" | bc -l; }
for s in 16 32 48; do
  c=$(calc "$s/2")
  convert -size "${s}x${s}" xc:none \
    -fill '#c9ced6' -stroke '#5a6270' -strokewidth "$(calc "$s/24")" \
    -draw "circle $c,$c $c,$(calc "$c-$s*0.45")" \
    -fill none -stroke '#8fd3ff' -strokewidth "$(calc "$s/16")" \
    -draw "arc $(calc "$c-$s*0.32"),$(calc "$c-$s*0.32") $(calc "$c+$s*0.32"),$(calc "$c+$s*0.32") 200,250" \
    -fill '#ffffff' -stroke '#5a6270' -strokewidth "$(calc "$s/32")" \
    -draw "circle $c,$c $c,$(calc "$c-$s*0.12")" \
    -fill '#2a6fdb' -stroke none \
    -draw "roundrectangle $(calc "$s*0.58"),$(calc "$s*0.58") $(calc "$s*0.98"),$(calc "$s*0.98") $(calc "$s/10"),$(calc "$s/10")" \
    -fill white -draw "rectangle $(calc "$s*0.66"),$(calc "$s*0.76") $(calc "$s*0.90"),$(calc "$s*0.80")" \
    "$work/icon$s.png"
done
convert "$work/icon16.png" "$work/icon32.png" "$work/icon48.png" "$out"
