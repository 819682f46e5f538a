#!/bin/sh
# Makes the GIFs of this folder with ImageMagick (convert) and gifsicle:
# small animations with what the shared corpus has few of (disposal 2 and 3
# mixed, transparency, local colour maps, frames that repeat the picture
# before them and become blank when optimised). The optimiser tests check
# that optimising them keeps every picture of their timeline.
# Run from this folder: sh make.sh (Debian: imagemagick, gifsicle).
set -eu
IM=/usr/bin/convert

# Coloured shapes on a transparent 40x30 screen, disposals mixed: a circle
# kept, squares cleared to the background, a bar restored to the previous
# picture, the circle again.
$IM -size 40x30 -dispose none -delay 10 xc:none -fill red -draw 'circle 12,12 12,3' \
    -dispose background -delay 20 \( -size 40x30 xc:none -fill blue -draw 'rectangle 20,5 35,20' \) \
    -dispose previous -delay 30 \( -size 40x30 xc:none -fill green -draw 'rectangle 0,20 39,25' \) \
    -dispose none -delay 40 \( -size 40x30 xc:none -fill red -draw 'circle 12,12 12,3' \) \
    -dispose previous -delay 15 \( -size 40x30 xc:none -fill yellow -draw 'rectangle 5,5 10,28' \) \
    -dispose background -delay 25 \( -size 40x30 xc:none -fill red -draw 'circle 12,12 12,3' \) \
    -loop 0 dispose-mix.gif

# The same frames with their own colour tables (each frame keeps a local
# map) and full-screen opaque frames in between.
$IM -size 32x24 -delay 12 -dispose none xc:white -fill '#204080' -draw 'rectangle 2,2 20,20' \
    -dispose previous \( -size 32x24 xc:'#f0e0d0' -fill '#802040' -draw 'circle 16,12 16,2' \) \
    -dispose background \( -size 32x24 xc:none -fill '#40a040' -draw 'rectangle 8,4 28,10' \) \
    -dispose none \( -size 32x24 xc:white -fill '#204080' -draw 'rectangle 2,2 20,20' \) \
    -dispose none \( -size 32x24 xc:white -fill '#204080' -draw 'rectangle 2,2 20,20' \) \
    -loop 0 -set colormap:local true local-maps-base.gif
gifsicle --no-warnings --colors 256 --local-colors local-maps-base.gif -o local-maps.gif 2>/dev/null || \
    cp local-maps-base.gif local-maps.gif
rm -f local-maps-base.gif

# Frames that repeat the picture before them: after the merge of repeated
# pixels they show nothing and can leave (after disposal 0 or 1) or must stay
# (after disposal 2 or 3).
$IM -size 24x24 -delay 20 -dispose none xc:none -fill navy -draw 'rectangle 4,4 19,19' \
    -dispose none \( -size 24x24 xc:none -fill navy -draw 'rectangle 4,4 19,19' \) \
    -dispose background \( -size 24x24 xc:none -fill orange -draw 'rectangle 8,8 15,15' \) \
    -dispose none \( -size 24x24 xc:none -fill orange -draw 'rectangle 8,8 15,15' \) \
    -dispose previous \( -size 24x24 xc:none -fill teal -draw 'rectangle 0,0 23,5' \) \
    -dispose none \( -size 24x24 xc:none -fill teal -draw 'rectangle 0,0 23,5' \) \
    -loop 0 repeats.gif

# Blank frames (nothing but transparency) after disposal 2, 3 and 1: only
# the last can leave, its delay going to the frame before it.
$IM -size 20x16 -delay 10 -dispose background xc:none -fill red -draw 'rectangle 2,2 9,9' \
    -dispose none -delay 30 \( -size 20x16 xc:none \) \
    -dispose previous -delay 20 \( -size 20x16 xc:none -fill green -draw 'rectangle 10,2 17,13' \) \
    -dispose none -delay 40 \( -size 20x16 xc:none \) \
    -dispose none -delay 50 \( -size 20x16 xc:none -fill blue -draw 'rectangle 0,12 19,15' \) \
    -dispose none -delay 60 \( -size 20x16 xc:none \) \
    -loop 0 blank.gif

# gifsicle's own frame optimisation mixes disposals, crops frames and adds
# transparency; optimising its output again must keep the pictures too.
gifsicle --no-warnings -O3 dispose-mix.gif -o dispose-mix-O3.gif
gifsicle --no-warnings -O3 repeats.gif -o repeats-O3.gif
gifsicle --no-warnings --unoptimize -O2 local-maps.gif -o local-maps-O2.gif
