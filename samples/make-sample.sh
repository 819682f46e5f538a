#!/bin/sh
# Makes sample.gif with ImageMagick 6 (Debian 12): 80 x 60 pixels, eight
# frames; a circle kept on a transparent screen (disposal 1), a square
# moving over it and cleared after each step (disposal 2), and a star that
# is shown once and then taken back (disposal 3). Loops for ever.
set -e
cd "$(dirname "$0")"
T=$(mktemp -d)
convert -size 80x60 xc:none -fill '#E03020' -draw 'circle 28,30 28,12' "$T/circle.png"
convert -size 16x16 xc:'#2060E0' -fill white -draw 'rectangle 5,5 10,10' "$T/square.png"
convert -size 22x22 xc:none -fill '#20B040' -draw 'polygon 11,0 14,8 22,8 16,13 18,22 11,17 4,22 6,13 0,8 8,8' "$T/star.png"
convert -dispose None -delay 40 "$T/circle.png" \
    -dispose Background -delay 15 -page +4+4 "$T/square.png" \
    -dispose Background -delay 15 -page +20+10 "$T/square.png" \
    -dispose Background -delay 15 -page +36+16 "$T/square.png" \
    -dispose Background -delay 15 -page +52+22 "$T/square.png" \
    -dispose Previous -delay 50 -page +50+30 "$T/star.png" \
    -dispose Background -delay 15 -page +60+40 "$T/square.png" \
    -dispose None -delay 60 -page +0+0 "$T/circle.png" \
    -loop 0 sample.gif
rm -rf "$T"
