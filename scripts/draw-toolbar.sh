#!/usr/bin/env bash
# Draws the toolbar's button pictures, in button order Apply, Lock, Eject, Load, Save, Restore:
#   res/toolbar-normal.bmp  336 x 47, 24-bit, six 56 x 47 images (bitmap 145)
#   res/toolbar-hot.bmp     the same, brighter and outlined in light, under the mouse (bitmap 146)
#   res/toolbar-16.bmp      240 x 56, 16 colours, six 40 x 56 images (bitmap 143)
# The 24-bit strips have RGB(191,191,191) as background, which the image lists mask out; the
# 16-colour strip has the light grey that the standard toolbar loader maps to the button face.
# Pictures are drawn in a 56 x 47 grid at eight times the size and scaled down, so their inner
# edges are smooth; their outer edges are made hard so no fringe of background colour remains.
set -euo pipefail
res=${1:-"$(dirname "$0")/../res"}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ink='#1f2a38'
mask='#bfbfbf'

# Each picture as drawing commands in a 56 x 47 grid.
declare -A picture

picture[apply]="fill none stroke-linecap round stroke-linejoin round
  stroke '#14522a' stroke-width 9 polyline 12,25 23,36 44,11
  stroke '#36c25a' stroke-width 5 polyline 12,25 23,36 44,11"

# The shackle is a rounded loop whose lower half the body hides.
picture[lock]="fill none
  stroke '$ink' stroke-width 6.5 roundrectangle 19,6 37,34 9,9
  stroke '#a9b6c9' stroke-width 3.5 roundrectangle 19,6 37,34 9,9
  fill '#eab52c' stroke '#6b4a0a' stroke-width 2 roundrectangle 12,21 44,44 4,4
  fill '#3a2a05' stroke none circle 28,30 28,33.5 polygon 26.5,31 29.5,31 31,39 25,39"

# The front of a drive: body, tray slot, activity light.
drive="fill '#d5dbe6' stroke '$ink' stroke-width 2 roundrectangle 4,30 52,45 3,3
  fill '$ink' stroke none rectangle 9,34 41,37
  fill '#3ad15a' stroke '#155e26' stroke-width 1 circle 46.5,39 46.5,41"

# Out of the slot, and into it.
picture[eject]="$drive
  fill '#2a6fdb' stroke '#12346e' stroke-width 2 stroke-linejoin round
  polygon 25,2 39,16 31,16 31,35.5 19,35.5 19,16 11,16"
picture[load]="$drive
  fill '#1fa3a3' stroke '#0b4d4d' stroke-width 2 stroke-linejoin round
  polygon 25,35.5 39,21.5 31,21.5 31,2 19,2 19,21.5 11,21.5"

picture[save]="stroke-linejoin round
  fill '#2f5fb8' stroke '#142a55' stroke-width 2 polygon 9,3 42,3 47,8 47,45 9,45
  fill '#dce1ea' stroke '#142a55' stroke-width 1.5 rectangle 16,3 38,16
  fill '#142a55' stroke none rectangle 31,6 35,13
  fill '#ffffff' stroke '#142a55' stroke-width 1.5 rectangle 14,24 42,45
  fill none stroke '#8aa0c8' stroke-width 1.5 line 18,30 38,30 line 18,36 38,36"

# Up from below, over a bend, and pointing back to the left.
picture[restore]="fill none stroke-linecap butt stroke-linejoin round
  stroke '#5a2d0c' stroke-width 9 path 'M 43,44.5 L 43,27 C 43,19 38,14 30,14 L 18,14'
  stroke '#f08a24' stroke-width 5.5 path 'M 43,42.5 L 43,27 C 43,19 38,14 30,14 L 17,14'
  fill '#f08a24' stroke '#5a2d0c' stroke-width 2
  polygon 5,14 19,2.5 19,25.5"

# draw NAME MVG WIDTH HEIGHT: the picture on a transparent canvas of that size, hard-edged.
draw() {
  convert -size 448x376 xc:none -affine 8,0,0,8,0,0 -draw "$2" \
    -resize "$3x$4!" -channel A -threshold 40% +channel "$work/$1-$3.png"
}

names=(apply lock eject load save restore)
for name in "${names[@]}"; do
  draw "$name" "${picture[$name]}" 56 47
  draw "$name" "${picture[$name]}" 40 34
  # Under the mouse: livelier colours and a light rim around the picture.
  convert "$work/$name-56.png" -modulate 112,125 \
    \( +clone -alpha extract -morphology Dilate Disk:1.5 -background '#fff6c8' -alpha shape \) \
    +swap -composite "$work/$name-56-hot.png"
done

# strip SUFFIX: the six pictures side by side, in button order.
strip() {
  local files=()
  for name in "${names[@]}"; do files+=("$work/$name-$1.png"); done
  convert -background none "${files[@]}" +append "$work/strip-$1.png"
}
strip 56
strip 56-hot
strip 40

# No opaque pixel of a picture may have the mask colour, or it would show through.
for strip in 56 56-hot; do
  hidden=$(convert "$work/strip-$strip.png" -channel R \
    -fx "a > 0.5 && abs(r - 191/255) + abs(g - 191/255) + abs(b - 191/255) < 0.001" \
    -format '%[fx:round(mean.r*w*h)]' info:)
  [[ $hidden == 0 ]] || { echo "draw-toolbar: $hidden picture pixels have the mask colour" >&2; exit 1; }
done

# 24-bit, bottom-up, no alpha.
write24() {
  convert "$work/strip-$1.png" -background "$mask" -alpha remove -alpha off -type TrueColor \
    "BMP3:$2"
}
write24 56 "$res/toolbar-normal.bmp"
write24 56-hot "$res/toolbar-hot.bmp"

# Each 40 x 34 picture centred in its 40 x 56 cell, reduced to 16 colours.
convert "$work/strip-40.png" -background '#c0c0c0' -gravity center -extent 240x56 \
  -alpha remove -alpha off +dither -colors 16 -type Palette "BMP3:$res/toolbar-16.bmp"
