#!/bin/sh
# Makes the GIFs of the self-contained end-to-end test with ImageMagick 6
# (Debian 12), and ImageMagick's coalesced pictures of them as references:
# <name>/NNN.png is GIF frame NNN as the GIF rules show it.
set -e
cd "$(dirname "$0")"
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT

# Every disposal method over a transparent screen, with transparency.
convert -size 60x40 xc:none -fill '#C02020' -draw 'circle 20,20 20,4' "$T/circle.png"
convert -size 12x12 xc:'#2050D0' -fill '#F0F000' -draw 'rectangle 3,3 8,8' "$T/sq.png"
convert -size 14x14 xc:none -fill '#10A040' -draw 'polygon 7,0 14,14 0,14' "$T/tri.png"
convert -dispose None -delay 20 "$T/circle.png" \
    -dispose Background -delay 10 -page +2+2 "$T/sq.png" \
    -dispose Background -delay 10 -page +14+8 "$T/sq.png" \
    -dispose Previous -delay 30 -page +30+10 "$T/tri.png" \
    -dispose None -delay 10 -page +40+20 "$T/sq.png" \
    -dispose Previous -delay 10 -page +8+20 "$T/tri.png" \
    -dispose Previous -delay 10 -page +20+22 "$T/tri.png" \
    -dispose None -delay 40 -page +44+2 "$T/tri.png" \
    -loop 0 disposals.gif

# Local colour tables and interlaced frames.
convert -size 40x30 gradient:'#FF0000-#0000FF' -colors 16 "$T/g1.png"
convert -size 40x30 gradient:'#00FF00-#FFFF00' -colors 32 "$T/g2.png"
convert -size 20x20 plasma:fractal -seed 3 -colors 64 "$T/g3.png"
convert -delay 15 "$T/g1.png" -delay 15 "$T/g2.png" -delay 15 -page +10+5 "$T/g3.png" \
    -interlace GIF -loop 0 local-interlaced.gif

# Many small frames moving over a large screen (the layered scheme).
set --
for i in $(seq 0 39); do
    set -- "$@" -dispose Background -delay 4 -page +$((i * 7))+$(( (i * 13) % 90 )) "$T/sq.png"
done
convert -size 300x100 xc:none "$T/bg.png"
convert -dispose None -delay 4 "$T/bg.png" "$@" -loop 0 many-small.gif

# Fourteen full frames with transparency and mixed disposals (flattened).
set --
for i in $(seq 0 13); do
    convert -size 32x24 xc:none -fill "hsl($((i * 25)),80%,50%)" -draw "rectangle $((i * 2)),2 $((i * 2 + 9)),21" "$T/f$i.png"
    case $((i % 4)) in 0) d=None;; 1) d=Background;; 2) d=Previous;; *) d=None;; esac
    set -- "$@" -dispose $d -delay $((2 + i)) "$T/f$i.png"
done
convert "$@" -loop 0 flattened.gif

for g in *.gif; do
    n=${g%.gif}
    rm -rf "$n"
    mkdir "$n"
    convert "$g" -coalesce png32:"$T/c-%03d.png"
    for f in "$T"/c-*.png; do mv "$f" "$n/${f##*/c-}"; done
done
