#!/bin/sh
# Draws the program icon (a dark instrument face with a red trace over a grid) at every size
# the platforms use, and packs the nine Windows sizes into one .ico. Needs ImageMagick.
set -eu
cd "$(dirname "$0")"

draw() { # size
    s=$1
    convert -size 512x512 xc:none \
        -fill '#353535' -stroke '#43edf1' -strokewidth 20 -draw 'roundrectangle 24,24 488,488 72,72' \
        -stroke '#5a5a5a' -strokewidth 6 \
        -draw 'line 112,180 400,180' -draw 'line 112,276 400,276' -draw 'line 112,372 400,372' \
        -draw 'line 180,112 180,420' -draw 'line 276,112 276,420' -draw 'line 372,112 372,420' \
        -draw "fill none stroke #ff3030 stroke-width 30 stroke-linecap round stroke-linejoin round path 'M 96,340 L 176,340 L 226,150 L 292,400 L 342,236 L 416,236'" \
        -resize "${s}x${s}" -depth 8 "PNG32:tolvex_client-${s}.png"
}

for size in 256 128 96 72 64 48 32 24 16; do
    draw "$size"
done
convert tolvex_client-256.png tolvex_client-128.png tolvex_client-96.png tolvex_client-72.png \
    tolvex_client-64.png tolvex_client-48.png tolvex_client-32.png tolvex_client-24.png \
    tolvex_client-16.png tolvex_client.ico
