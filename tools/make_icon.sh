#!/usr/bin/env bash
# Draws the program's 32 x 32 icon (app/resources/chimex.png): four piano keys under a router bit.
# Needs ImageMagick. The PNG is committed; run this only to change the picture.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
convert -size 32x32 xc:none \
    -fill '#1f3a5f' -draw 'roundrectangle 0,0 31,31 5,5' \
    -fill white -stroke '#1f3a5f' -strokewidth 1 \
    -draw 'rectangle 3,12 9,29' -draw 'rectangle 10,12 16,29' \
    -draw 'rectangle 17,12 23,29' -draw 'rectangle 24,12 29,29' \
    -stroke none -fill black \
    -draw 'rectangle 8,12 11,22' -draw 'rectangle 15,12 18,22' -draw 'rectangle 22,12 25,22' \
    -fill '#f0a030' -draw 'polygon 13,2 19,2 19,6 17,10 15,10 13,6' \
    -depth 8 -define png:color-type=6 "$root/app/resources/chimex.png"
