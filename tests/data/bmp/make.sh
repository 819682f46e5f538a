#!/bin/sh
# Makes the BMP test files with ImageMagick 6 (Debian 12) and the RGBA
# dumps ImageMagick itself reads back from them (row-major, top row first).
set -e
cd "$(dirname "$0")"
convert -seed 7 -size 21x9 plasma:fractal /tmp/anivert-src24.png
convert -size 13x7 xc:none -fill 'rgba(255,0,0,1)' -draw 'rectangle 0,0 6,3' \
    -fill 'rgba(0,128,255,0.5)' -draw 'rectangle 5,2 12,6' /tmp/anivert-srca.png
convert /tmp/anivert-src24.png -type bilevel BMP3:b1.bmp
convert /tmp/anivert-src24.png -colors 12 -type palette BMP3:b4.bmp
convert /tmp/anivert-src24.png -colors 60 -type palette -compress none BMP3:b8.bmp
convert /tmp/anivert-src24.png -colors 60 -type palette -compress rle BMP3:b8rle.bmp
convert /tmp/anivert-src24.png -type truecolor BMP3:b24.bmp
convert /tmp/anivert-srca.png -define bmp3:alpha=true BMP3:b32.bmp
# Colour-mapped pictures 20 pixels wide, whose rows need no padding.
convert /tmp/anivert-src24.png -crop 20x9+0+0 +repage /tmp/anivert-src20.png
convert /tmp/anivert-src20.png -type bilevel BMP3:b1w20.bmp
convert /tmp/anivert-src20.png -colors 12 -type palette BMP3:b4w20.bmp
convert /tmp/anivert-src20.png -colors 60 -type palette -compress rle BMP3:b8w20.bmp
for f in b1 b4 b8 b8rle b24 b32 b1w20 b4w20 b8w20; do convert $f.bmp -depth 8 rgba:$f.rgba; done
rm -f /tmp/anivert-src24.png /tmp/anivert-srca.png /tmp/anivert-src20.png
