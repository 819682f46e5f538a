#!/bin/sh
# Makes the JPEG test files with ImageMagick 6 (Debian 12): a baseline and a
# progressive picture of the same 21 x 9 pixels.
set -e
cd "$(dirname "$0")"
convert -seed 7 -size 21x9 plasma:fractal /tmp/anivert-src.png
convert /tmp/anivert-src.png -quality 90 -interlace none baseline.jpg
convert /tmp/anivert-src.png -quality 90 -interlace Plane progressive.jpg
rm -f /tmp/anivert-src.png
